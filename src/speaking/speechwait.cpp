// Waiting for speech. No speech server runs yet, so nothing is ever pending
// at a server: finishSpeech has nothing to wait for, and speechBusy answers
// for the sound player alone. A key waiting in the queue cuts the sound and
// ends the wait; the key is left for whoever reads keys next.
#include "console/qrcrt.hpp"
#include "sound/qrwav.hpp"
#include "speaking/output.hpp"

namespace speaking {

void finishSpeech() {}

bool speechBusy() {
    qrcrt::pumpMessages();
    if (qrcrt::keyWaiting()) {
        qrwav::stopWave();
        return false;
    }
    return qrwav::waveStillPlaying();
}

}  // namespace speaking
