// The codec registry: the content of a source decides its loader, decoders are driven and closed
// through each thread's own decode context, and saving picks and feeds the right encoder.
#include "dib_bytes.h"
#include "image/png_codec.h"
#include "image_fixture.h"
#include "runtime/utf.h"
#include "temp_folder.h"
#include "test_codecs.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace korvel {
namespace {

using test::bytes;
using test::pixel_at;

std::uint8_t pattern(std::int32_t x, std::int32_t y, std::int32_t c) {
    return static_cast<std::uint8_t>(x * 16 + y * 4 + c + 1);
}

std::size_t open_descriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator()));
}

class CodecRegistry : public test::ImageTest {
protected:
    void SetUp() override {
        test::ImageTest::SetUp();
        test::register_test_codecs();
        test::last_encoder_call() = {};
    }
    test::temp_folder folder;
};

TEST_F(CodecRegistry, RegisteredFormatLoadsWhateverItsName) {
    folder.write("frame.bmp", test::kvt_image(3, 2, 32, 5, 2, pattern));
    ASSERT_NE(image_load(0, folder.name16("frame.bmp").c_str()), 0);
    const image_record* record = image_lookup(0);
    EXPECT_EQ(record->depth, 32);
    EXPECT_EQ(record->source_depth, 5);
    const bitmap* object = bitmap_of(0);
    // The first row of the source is the top of the picture: the last row in memory.
    EXPECT_EQ(object->pixels[object->stride], pattern(0, 0, 0));
    EXPECT_EQ(pixel_at(object, 2, 1)[3], pattern(2, 1, 3));
}

TEST_F(CodecRegistry, BmpNamedPngLoadsThroughTheBmpReader) {
    test::dib_layout layout;
    layout.bits = 8;
    layout.palette = {0x102030, 0x405060};
    layout.colours_used = 2;
    folder.write("frame.png", test::bmp_file(layout, {{0, 1}}));
    ASSERT_NE(image_load(1, folder.name16("frame.png").c_str()), 0);
    EXPECT_EQ(image_lookup(1)->source_depth, 8);
    EXPECT_EQ(pixel_at(bitmap_of(1), 1, 0)[0], 0x60);
}

TEST_F(CodecRegistry, PngNamedBmpLoadsThroughThePngDecoder) {
    std::string png = std::string(KORVEL_SHARED_DIR) + "/pngsuite/basn6a08.png";
    std::ifstream in(png, std::ios::binary);
    if (!in) GTEST_SKIP() << "the PNG suite is not at " << png;
    png_decoder_register();
    folder.write("rgba.bmp", bytes(std::istreambuf_iterator<char>(in), {}));
    ASSERT_NE(image_load(2, folder.name16("rgba.bmp").c_str()), 0);
    EXPECT_EQ(image_width(2), 32);
    EXPECT_EQ(image_lookup(2)->depth, 32);
    EXPECT_EQ(image_lookup(2)->source_depth, 32);
}

TEST_F(CodecRegistry, SourceNoLoaderAcceptsEmptiesTheNumber) {
    folder.write("notes.png", bytes{'h', 'e', 'l', 'l', 'o'});
    ASSERT_NE(image_create(3, 1, 1, 32), 0);
    EXPECT_EQ(image_load(3, folder.name16("notes.png").c_str()), 0);
    EXPECT_EQ(image_is_valid(3), 0);
    EXPECT_EQ(image_load(3, folder.name16("missing.png").c_str()), 0);
    EXPECT_EQ(image_load(3, u""), 0);
    EXPECT_EQ(image_load(3, nullptr), 0);
    EXPECT_EQ(image_load(3, utf16_from_utf8(folder.path("")).c_str()), 0) << "a folder";
    EXPECT_EQ(image_load(NUMBER_ANY, folder.name16("notes.png").c_str()), 0);
    bytes text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(image_catch(3, text.data(), text.size()), 0);
}

TEST_F(CodecRegistry, DecodeFailingPartWayFailsTheLoadAndEmptiesTheNumber) {
    ASSERT_NE(image_create(4, 1, 1, 32), 0);
    bytes data = test::kvt_image(2, 3, 24, 24, 1, pattern);
    EXPECT_EQ(image_catch(4, data.data(), data.size()), 0);
    EXPECT_EQ(image_is_valid(4), 0);
}

TEST_F(CodecRegistry, EveryAcceptedSourceIsClosedOnce) {
    folder.write("a.kvt", test::kvt_image(2, 2, 24, 24, 2, pattern));
    bytes data = test::kvt_image(2, 2, 32, 32, 2, pattern);
    std::size_t descriptors = open_descriptors();
    int closes = test::test_decoder_closes();
    for (int i = 0; i < 10; ++i) {
        ASSERT_NE(image_load(5, folder.name16("a.kvt").c_str()), 0);
        ASSERT_NE(image_catch(6, data.data(), data.size()), 0);
    }
    EXPECT_EQ(test::test_decoder_closes(), closes + 20);
    EXPECT_EQ(open_descriptors(), descriptors);
}

TEST_F(CodecRegistry, AProbeLeftUnfinishedIsClosedByTheNextOne) {
    folder.write("a.kvt", test::kvt_image(2, 2, 24, 24, 2, pattern));
    std::size_t descriptors = open_descriptors();
    int closes = test::test_decoder_closes();
    ASSERT_EQ(decoder_probe_file(folder.name16("a.kvt").c_str()), 1);
    EXPECT_EQ(decode_context_current()->width, 2);
    bytes none{1, 2, 3};
    EXPECT_EQ(decoder_probe_memory(none.data(), none.size()), 0);
    EXPECT_EQ(test::test_decoder_closes(), closes + 1);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(decode_to_bitmap(), 0u) << "no decoder accepted the last source";
    decode_finish(); // harmless when nothing is open
}

TEST_F(CodecRegistry, DecoderAskingForAnUnsupportedDepthFails) {
    bytes data = test::kvt_image(2, 2, 16, 16, 2, pattern);
    int closes = test::test_decoder_closes();
    EXPECT_EQ(image_catch(7, data.data(), data.size()), 0);
    EXPECT_EQ(image_is_valid(7), 0);
    EXPECT_EQ(test::test_decoder_closes(), closes + 1);
    EXPECT_EQ(decoder_probe_memory(nullptr, 10), 0);
    EXPECT_EQ(decoder_probe_memory(data.data(), 0), 0);
}

TEST_F(CodecRegistry, ThreadsLoadAtOnceThroughTheirOwnContexts) {
    // Each thread's decoder keeps its read position in its own context; were the contexts
    // shared, the rows would come from the wrong place.
    auto shade = [](std::uint8_t base) {
        return [base](std::int32_t x, std::int32_t y, std::int32_t c) {
            return static_cast<std::uint8_t>(base + x + 7 * y + 50 * c);
        };
    };
    folder.write("t0.kvt", test::kvt_image(40, 30, 24, 24, 30, shade(1)));
    folder.write("t1.kvt", test::kvt_image(40, 30, 24, 24, 30, shade(2)));
    auto work = [&](int t, bool* all_right) {
        std::u16string name = folder.name16("t" + std::to_string(t) + ".kvt");
        bytes data = test::kvt_image(40, 30, 32, 32, 30, shade(static_cast<std::uint8_t>(t + 3)));
        for (int i = 0; i < 40 && *all_right; ++i) {
            obj_number n = 8 + t;
            *all_right = image_load(n, name.c_str()) != 0 &&
                         pixel_at(bitmap_of(n), 39, 29)[2] ==
                             shade(static_cast<std::uint8_t>(t + 1))(39, 29, 2);
            *all_right = *all_right && image_catch(n, data.data(), data.size()) != 0 &&
                         pixel_at(bitmap_of(n), 39, 29)[1] ==
                             shade(static_cast<std::uint8_t>(t + 3))(39, 29, 1);
        }
    };
    bool right[2] = {true, true};
    std::thread first(work, 0, &right[0]);
    std::thread second(work, 1, &right[1]);
    first.join();
    second.join();
    EXPECT_TRUE(right[0]);
    EXPECT_TRUE(right[1]);
}

TEST_F(CodecRegistry, UnknownEncoderWritesNothing) {
    ASSERT_NE(image_create(0, 2, 2, 32), 0);
    EXPECT_EQ(image_save(0, folder.name16("out.xyz").c_str(), 0x5A5A5A), 0);
    EXPECT_TRUE(folder.entries().empty());
}

TEST_F(CodecRegistry, EncoderWithoutRgbaGetsRowsFlattenedOverWhite) {
    ASSERT_NE(image_create(0, 3, 2, 0x120), 0);
    bitmap* object = bitmap_get(image_handle(0));
    std::uint8_t* bottom = object->pixels;
    std::uint8_t* top = object->pixels + object->stride;
    const std::uint8_t half_black[4] = {0, 0, 0, 128};
    const std::uint8_t opaque[4] = {10, 20, 30, 255};
    const std::uint8_t mixed[4] = {200, 100, 0, 64};
    std::copy(half_black, half_black + 4, top);
    std::copy(opaque, opaque + 4, top + 4);
    std::copy(mixed, mixed + 4, bottom + 8); // the rest stays alpha 0
    ASSERT_EQ(image_save(0, u"any name", test::ENCODER_RGB_ONLY, 32, 9), 1);
    const test::encoder_call& call = test::last_encoder_call();
    EXPECT_FALSE(call.rgba);
    EXPECT_EQ(call.stride, row_bytes(3, 24));
    EXPECT_EQ(call.row_flags, ROWS_BOTTOM_UP);
    EXPECT_EQ(call.flags, 32u);
    EXPECT_EQ(call.depth, 9);
    const std::uint8_t* flat_top = call.pixels.data() + call.stride;
    EXPECT_EQ(bytes(flat_top, flat_top + 9), (bytes{127, 127, 127, 10, 20, 30, 255, 255, 255}));
    // (200, 100, 0) at alpha 64 over white: ((c - 255) * 64 + 65025) / 255 each
    EXPECT_EQ(bytes(call.pixels.begin() + 6, call.pixels.begin() + 9), (bytes{241, 216, 191}));
    EXPECT_EQ(bytes(call.pixels.begin(), call.pixels.begin() + 3), (bytes{255, 255, 255}));
}

TEST_F(CodecRegistry, EncoderWithRgbaGetsThePixelsUnchanged) {
    ASSERT_NE(image_create(0, 2, 2, 32), 0);
    const bitmap* object = bitmap_of(0);
    object->pixels[5] = 77;
    ASSERT_EQ(image_save(0, u"any name", test::ENCODER_BOTH), 1);
    const test::encoder_call& call = test::last_encoder_call();
    EXPECT_TRUE(call.rgba);
    EXPECT_EQ(call.depth, 32) << "no depth given: the image's source depth";
    EXPECT_EQ(call.flags, SAVE_DEFAULT_FLAGS);
    EXPECT_EQ(call.stride, object->stride);
    EXPECT_EQ(call.pixels, bytes(object->pixels, object->pixels + object->stride * 2));
}

TEST_F(CodecRegistry, TwentyFourBitImagesGoToTheRgbEncoder) {
    ASSERT_NE(image_create(0, 3, 1, 24), 0);
    ASSERT_EQ(image_save(0, u"any name", test::ENCODER_BOTH, 0, 8), 1);
    EXPECT_FALSE(test::last_encoder_call().rgba);
    EXPECT_EQ(test::last_encoder_call().depth, 8);
    EXPECT_EQ(test::last_encoder_call().stride, 12);
}

TEST_F(CodecRegistry, SavingRefusesMissingImagesNamesAndDepths) {
    ASSERT_NE(image_create(0, 2, 2, 32), 0);
    EXPECT_EQ(image_save(0, u"", test::ENCODER_BOTH), 0);
    EXPECT_EQ(image_save(0, nullptr, test::ENCODER_BOTH), 0);
    EXPECT_EQ(image_save(1, u"any name", test::ENCODER_BOTH), 0);
    std::uint8_t pixels[16] = {};
    EXPECT_EQ(
        save_dispatch(u"any name", pixels, test::ENCODER_BOTH, 2, 2, 8, 16, ROWS_BOTTOM_UP, 0, 16),
        0);
    EXPECT_EQ(test::last_encoder_call().calls, 0);
}

} // namespace
} // namespace korvel
