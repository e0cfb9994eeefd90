# A plain C host that includes only the 2.2.4 header names runs the whole corpus (scripts and compiled files):
# code written for the 2.2.4 embedding API compiles unchanged against this VM and prints what the reference
# prints.
if(TARGET squirrel_std)
  add_executable(sq_embed_host ${CMAKE_CURRENT_LIST_DIR}/embed_host.c)
  target_link_libraries(sq_embed_host PRIVATE squirrel_std squirrel)
  set_target_properties(sq_embed_host PROPERTIES LINKER_LANGUAGE CXX C_STANDARD 99 C_STANDARD_REQUIRED ON)
  target_compile_options(sq_embed_host PRIVATE -Wall -Wextra $<$<BOOL:${HH_WERROR}>:-Werror>)
  add_test(NAME sq_embed_host_corpus COMMAND ${CMAKE_CURRENT_LIST_DIR}/run-corpus.sh -v $<TARGET_FILE:sq_embed_host>)
  set_tests_properties(sq_embed_host_corpus PROPERTIES RESOURCE_LOCK sq_corpus_tmp_files)
endif()
