// A render job's clips, in and out, and the frames it keeps from an earlier run.
#include "engine/render_job_steps.h"

#include "engine/frame_file.h"
#include "image/image.h"
#include "image/load_problem.h"
#include "runtime/error_text.h"
#include "runtime/native_name.h"

#include <cerrno>
#include <memory>
#include <sys/stat.h>

namespace korvel::job_steps {

bool load_clip_layer(job& j, obj_number slot, const std::u16string& number) {
    std::int64_t layers = 0;
    read_layers(j, &layers);
    std::int64_t keep_from = j.batch_first, reuse_from = INT64_MAX;
    if (running_sums(j, layers)) {
        keep_from = j.batch_first - j.step;
        reuse_from = j.batch_first;
    } else if (stepping(j)) {
        reuse_from = j.batch_first + j.step;
    }
    const image_handle_t frame = j.clip_in->take(str_to_int(number.c_str()), keep_from, reuse_from);
    const bitmap* pixels = bitmap_get(frame);
    return pixels && image_adopt(slot, frame, pixels->depth);
}

bool saved_already(const job& j) {
    if (!j.media || !j.media->skip_existing || into_clip(j)) return false;
    std::string native;
    struct stat status {};
    return native_name(frame_path(j, j.frame).c_str(), native) &&
           stat(native.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

outcome keep_saved_frame(job& j) {
    std::int64_t layers = 0;
    if (skip_frame(j) == outcome::stop || !read_layers(j, &layers)) return outcome::stop;
    if (saving_failed(j)) {
        end_with_save_failure(j);
        return outcome::stop;
    }
    const std::u16string path = frame_path(j, j.frame);
    j.host->ops->frame_saved(j.host->state, j.frame, progress_at(j, layers, j.frame), path.c_str());
    return check_cancel(j);
}

bool open_clip_input(job& j) {
    if (!from_clip(j)) return true;
    clip_facts facts;
    clip_reader* reader = clip_reader_open(j.media->input_clip, j.shape.threads, &facts);
    if (!reader) {
        const std::u16string text = JOB_UNABLE_TO_LOAD + std::u16string(j.media->input_clip);
        fail(j, JOB_TITLE_LOAD_ERROR, text.c_str(), load_problem());
        return false;
    }
    j.clip_in = std::make_unique<clip_source>(reader);
    return true;
}

namespace {

void fail_to_save_clip(job& j, const char* problem) {
    const std::u16string text = JOB_UNABLE_TO_SAVE + std::u16string(j.media->output_clip);
    fail(j, JOB_TITLE_ERROR, text.c_str(), problem);
}

} // namespace

bool open_clip_output(job& j) {
    if (!into_clip(j)) return true;
    clip_settings settings;
    settings.width = static_cast<std::int32_t>(str_to_int(j.totals.width));
    settings.height = static_cast<std::int32_t>(str_to_int(j.totals.height));
    settings.rate_num = j.media->rate_num;
    settings.rate_den = j.media->rate_den;
    settings.background = j.media->background;
    settings.threads = j.shape.threads;
    j.clip_out_part = frame_part_name(j.media->output_clip);
    const char* problem = "";
    j.clip_out.reset(clip_writer_open(j.clip_out_part.c_str(),
                                      clip_format_for(j.media->output_clip), settings, &problem));
    if (!j.clip_out) {
        fail_to_save_clip(j, problem);
        return false;
    }
    j.saver.write_into(j.clip_out.get());
    return true;
}

void finish_clip_output(job& j) {
    if (!j.clip_out || j.ended) return;
    if (!clip_writer_finish(j.clip_out.get()))
        return fail_to_save_clip(j, clip_writer_problem(j.clip_out.get()));
    if (!frame_part_commit(j.clip_out_part.c_str(), j.media->output_clip))
        fail_to_save_clip(j, error_text(errno));
}

} // namespace korvel::job_steps
