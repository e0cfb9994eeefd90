#pragma once
// `AudioClient`: an object holding device objects of the running audio system (the buffers of a `Sound`, the
// stream of a `Music`). The system tells each client before it closes the device, after it has ended every
// channel, so the client drops its objects while the device can still take them back.

class AudioClient {
public:
    virtual void releaseAudio() = 0;

protected:
    ~AudioClient() = default;
};
