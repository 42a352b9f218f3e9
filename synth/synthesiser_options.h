// SynthesiserOptions: what the synthesis facade is built from (the stages'
// profiles, the folder of its diagnostic files, and the options it hands to
// text analysis and to the wave database). The server fills them from
// sint.ini and the command line; tools and tests set them directly.
#pragma once

#include <string>

#include "text/text_options.h"
#include "waveform/table_sint.h"

namespace sint {

struct SynthesiserOptions {
    std::string gfp_profile;    // text-analysis profile
    std::string mikro_profile;  // micro-prosody profile
    std::string makro_profile;  // macro-prosody profile
    std::string log_dir;        // mikro.out, makro.out, convert.out, avto.bes; ends in "/" when set
    // The dictionary index; "" = data/MorvenaIdra.ndx in the current folder.
    std::string dictionary_index;
    TextOptions text;
    WaveDatabaseOptions wave;
};

}  // namespace sint
