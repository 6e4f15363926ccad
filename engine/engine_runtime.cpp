// Starting the render job's subsystems once per process.
#include "engine/engine_runtime.h"

#include "drawing/draw.h"
#include "engine/block_reuse.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"
#include "runtime/files.h"
#include "runtime/strings.h"
#include "runtime/threads.h"

#include <mutex>

namespace korvel {

void engine_runtime_start() {
    static std::once_flag started;
    std::call_once(started, [] {
        block_reuse_start();
        strings_init();
        codecs_init();
        images_init();
        drawing_init();
        files_init();
        threads_init();
        png_decoder_register();
        png_encoder_register();
    });
}

} // namespace korvel
