// sint-g2p --prosody: micro- and macro-prosody over each transcription, printed
// in the form of the diagnostic files mikro.out and makro.out.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "prosody/engine_phone_services.h"
#include "prosody/makro.h"
#include "prosody/mikro.h"
#include "prosody/phone_table.h"
#include "text/tgfp.h"

namespace sint {

class ProsodyPrinter {
public:
    // Throws std::runtime_error when a profile cannot be loaded.
    ProsodyPrinter(const TGFP& engine, const std::string& mikro_path,
                   const std::string& makro_path);

    // False (with a note on `warn`) when the engine's phone inventory is not the
    // one of the micro-prosody profile; the stages then use that profile's own
    // inventory, so that the records still name the right phones.
    bool check_inventory(std::ostream& warn);

    // Runs both stages as the facade does (" ." appended, no word-boundary
    // pause) and prints their records; false when a stage fails.
    bool print(std::string_view transcription, std::ostream& out);

private:
    std::string mikro_path_;
    std::string makro_path_;
    EnginePhoneServices<TGFP> engine_phones_;
    std::unique_ptr<PhoneTable> own_phones_;
    std::unique_ptr<TMikro> mikro_;
    std::unique_ptr<TMakro> makro_;
};

}  // namespace sint
