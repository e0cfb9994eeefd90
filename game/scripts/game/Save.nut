// Saving and loading the resort in data/resort.sav (the user data folder). A save is written through the
// engine's safe replace: the old file stays until the new one is complete. Loading builds every object anew.
//
// Layout: "HHRESORT", version, money, clock, day, next building id, random seed, the pass map's record, the
// road renderer's record,
// buildings (count, then kind, x, y, id, stock), trucks (see Vehicles.write).
SAVE_PATH <- "data/resort.sav";
SAVE_VERSION <- 2;

Save <- {
  function save() {
    if (World.map == null) return false;
    local file = getComponent("File");
    if (!file.Open(SAVE_PATH, "wb")) { World.say("save failed"); return false; }
    writeString(file, "HHRESORT");
    writeInt(file, SAVE_VERSION);
    writeInt(file, World.money);
    writeInt(file, World.clock);
    writeInt(file, World.day);
    writeInt(file, World.nextBuildingId);
    writeInt(file, Random.seed);
    local ok = writeComponent(file, World.map) && writeComponent(file, World.roads);
    writeInt(file, World.buildings.len());
    foreach (b in World.buildings) {
      writeString(file, b.kind);
      writeShort(file, b.x);
      writeShort(file, b.y);
      writeInt(file, b.id);
      writeInt(file, b.stock);
    }
    ok = ok && Vehicles.write(file);
    file = null; // closing the file replaces the old save
    if (!ok) { World.say("save failed"); return false; }
    print("saved: state hash " + World.stateHash() + "\n");
    World.say(T("Saved"));
    return true;
  }

  function load() {
    if (!fileExists(SAVE_PATH)) { World.say(T("NoSave")); return false; }
    local file = getComponent("File");
    if (!file.Open(SAVE_PATH, "rb")) return false;
    if (readString(file) != "HHRESORT" || readInt(file) != SAVE_VERSION) {
      logWarning("data/resort.sav is not a saved resort");
      return false;
    }
    local money = readInt(file), clock = readInt(file), day = readInt(file), nextId = readInt(file), seed = readInt(file);
    if (!World.load(file, false)) return false;
    local buildings = [];
    local count = readInt(file);
    if (count < 0 || count > COLS * ROWS) return false;
    for (local i = 0; i < count; ++i) {
      local kind = readString(file);
      local b = { kind = kind, x = readShort(file), y = readShort(file), id = readInt(file), stock = readInt(file) };
      if (!(kind in BuildingKinds)) return false;
      buildings.append(b);
    }
    World.money = money;
    World.clock = clock;
    World.day = day;
    World.nextBuildingId = nextId;
    World.buildings = buildings;
    Random.seed = seed;
    Effects.clear();
    if (!Vehicles.read(file)) logWarning("the saved trucks could not be read");
    print("loaded: state hash " + World.stateHash() + "\n");
    World.say(T("Loaded"));
    return true;
  }
}
