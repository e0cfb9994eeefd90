# Standard libraries, compiled scripts and the `sq` interpreter: GoogleTest programs, and the conformance corpus
# run through `sq` by the corpus runner (one CTest per script; the cnut_ tests run a script and its compiled file).
set(SQ_STD_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

if(TARGET squirrel_std)
  hh_add_gtest(test_std_regex SOURCES ${SQ_STD_TEST_DIR}/test_std_regex.cpp LIBS squirrel_std squirrel)
  hh_add_gtest(test_std_libs SOURCES ${SQ_STD_TEST_DIR}/test_std_libs.cpp LIBS squirrel_std squirrel)
  hh_add_gtest(test_bytecode SOURCES ${SQ_STD_TEST_DIR}/test_bytecode.cpp LIBS squirrel_std squirrel)
  target_compile_definitions(test_bytecode PRIVATE SQ_CORPUS_DIR="${SQ_STD_TEST_DIR}/corpus")
endif()

if(TARGET sq)
  hh_add_gtest(test_std_sq SOURCES ${SQ_STD_TEST_DIR}/test_std_sq.cpp)
  target_compile_definitions(test_std_sq PRIVATE SQ_BINARY="$<TARGET_FILE:sq>")
  add_dependencies(test_std_sq sq)
  file(GLOB SQ_CORPUS_SCRIPTS CONFIGURE_DEPENDS ${SQ_STD_TEST_DIR}/corpus/*.nut)
  foreach(script IN LISTS SQ_CORPUS_SCRIPTS)
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME sq_corpus.${name}
             COMMAND ${SQ_STD_TEST_DIR}/run-corpus.sh -v --no-cnut --only ${name} $<TARGET_FILE:sq>)
  endforeach()
  file(GLOB SQ_CORPUS_CNUTS CONFIGURE_DEPENDS ${SQ_STD_TEST_DIR}/corpus/cnut/*.cnut)
  foreach(compiled IN LISTS SQ_CORPUS_CNUTS)
    get_filename_component(name ${compiled} NAME_WE)
    add_test(NAME sq_cnut.${name} COMMAND ${SQ_STD_TEST_DIR}/run-corpus.sh -v --only ${name} $<TARGET_FILE:sq>)
  endforeach()
  # Our compiler writes the reference's bytes for every script compiled in corpus/cnut/.
  add_test(NAME sq_cnut_same_bytes COMMAND ${SQ_STD_TEST_DIR}/same-cnut.sh $<TARGET_FILE:sq>)
endif()

# These two create and delete fixed scratch files under /tmp: never run them at the same time.
foreach(name std_io std_system)
  foreach(kind sq_corpus sq_cnut)
    if(TEST ${kind}.${name})
      set_tests_properties(${kind}.${name} PROPERTIES RESOURCE_LOCK sq_corpus_tmp_files)
    endif()
  endforeach()
endforeach()
