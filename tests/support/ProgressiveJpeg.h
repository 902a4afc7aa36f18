#pragma once

#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <vector>
// jpeglib.h needs <cstdio> before it.
#include <jpeglib.h>

// A progressive JPEG of a smooth side x side picture (grey with one component, else RGB), as libjpeg
// writes it: real progressive files, for the tests and for the benchmarks.
inline QByteArray ProgressiveJpeg(int side, int components = 1) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = info.image_height = JDIMENSION(side);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(side) * components);
    while (info.next_scanline < info.image_height) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = JSAMPLE((i / components + info.next_scanline) / 16);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}
