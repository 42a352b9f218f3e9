// The loading steps and conversion stages of the number, transcription and
// syllabification parts of the engine. Until those parts are built their
// loading steps accept the profile and their stages pass the text through;
// the phone inventory is already read here, because prosody needs it.
#include "server/log.h"
#include "text/tgfp.h"

namespace sint {

int TGFP::pripravi_stevilke() {
    return 0;
}

int TGFP::pripravi_naglase() {
    return 0;
}

int TGFP::pripravi_pravila() {
    return 0;
}

int TGFP::pripravi_naslonke() {
    return 0;
}

int TGFP::pripravi_zlogovanje() {
    if (phones_.load(*profile_) != 0) {
        report_error("Napaka: v ini datoteki (ini_gfp): pripravi_zlogovanje");
        return -1;
    }
    return 0;
}

void TGFP::convert_units(const std::string& in, std::string& out) {
    out = in;
}

void TGFP::convert_numbers(const std::string& in, std::string& out) {
    out = in;
}

void TGFP::convert_letters(const std::string& in, std::string& out) {
    out = in;
}

void TGFP::transcribe(const std::string& in, std::string& out, bool /*use_dictionary*/) {
    out = in;
}

}  // namespace sint
