// Sounds and music: all of them come from audio.bar, the archive the build packs and the engine mounts over
// res/. Without a sound device (SoundEnabled false) the game stays silent.
Audio <- {
  enabled = false,
  music = null,

  function start() {
    local driver = getComponent("System").GetObject("SoundDriver");
    enabled = driver != null;
    if (!enabled) {
      print("no sound device: the resort stays silent\n");
      return;
    }
    driver.SetVolume(80);
    if (!fileExists("res/music/music.ogg")) {
      print("audio.bar is not there: the resort plays without music\n");
      return;
    }
    music = getComponent("ResourceManager").GetMusic("res/music/music.ogg");
    if (music == null) return;
    music.SetLoop(true);
    music.SetVolume(55, 0);
    music.Play(true);
  }

  function play(name) {
    if (!enabled || music == null) return;
    local sound = getComponent("ResourceManager").GetSound("res/sounds/" + name + ".wav");
    if (sound != null) sound.Play(false);
  }

  // A sound to the left or right of the middle of the screen (x in pixels).
  function playAt(name, x) {
    if (!enabled || music == null) return;
    local sound = getComponent("ResourceManager").GetSound("res/sounds/" + name + ".wav");
    if (sound == null) return;
    local channel = sound.Play(false);
    if (channel > 0) sound.SetChannelPan(channel, clampInt((x - SCREEN_W / 2) * 100 / (SCREEN_W / 2), -100, 100), 0);
  }

  function pause(on) {
    if (music == null) return;
    if (on) music.Pause(); else music.Resume();
  }

  function stop() {
    if (music != null) music.Stop();
    music = null;
  }
}
