#pragma once
// PNG decoding into raw pixel rows, and the conversion of 8-bit RGB and RGBA images into the 16-bit
// (RGB565) and 24-bit (BGR) rows that bitmaps are made from. All results and the header of the last
// image are in the global PngInfo record (PngInfo.h); one decode runs at a time. No CRC is checked and no
// chunk order is enforced. Images of width or height 0, and images whose buffers would pass
// kMaxPngBufferBytes, are refused before anything is allocated.

#include "PngInfo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum class ScanlinePosition { First, Later };

// Decodes a PNG file image. fileBytes is changed: the data of all IDAT chunks are joined inside it. On
// success rawPixels holds (height * width * bitsPerPixel + 7) / 8 bytes: rows top first with no padding,
// samples in the file's order and byte order, pixels below 8 bits packed most significant bit first. After
// an error (PngInfo::error) rawPixels holds nothing meaningful.
void DecodePng(std::vector<uint8_t>& fileBytes, std::vector<uint8_t>& rawPixels);

// Checks the signature and the IHDR fields of a file image and stores them in the out arguments once the
// signature and the IHDR type are right.
void ReadPngHeader(const uint8_t* bytes, size_t size, uint32_t& width, uint32_t& height, uint32_t& bitDepth,
                   uint32_t& colorType, uint32_t& compressionMethod, uint32_t& filterMethod,
                   uint32_t& interlaceMethod);

// Reverses one scanline filter (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth) over length bytes; prior is not
// read on the first line, where it counts as zeros. Other filter types fail with kPngBadFilterType.
void UnfilterScanline(uint8_t* recon, const uint8_t* scanline, const uint8_t* prior,
                      ScanlinePosition position, size_t bytesPerPixel, uint8_t filterType, size_t length);
// The Paeth predictor with its tie-break: left, then above, then upper left.
uint8_t PaethPredictor(uint8_t left, uint8_t above, uint8_t upperLeft);

// Unfilters the passHeight lines of one Adam7 pass (each a filter byte and (passWidth * bitsPerPixel + 7)
// / 8 bytes, back to back in passData) and puts pixel i of line y at column left + columnStep * i, row
// top + rowStep * y of rawPixels. lineA and lineB hold at least one line each.
void Adam7Pass(std::vector<uint8_t>& rawPixels, const uint8_t* passData, std::vector<uint8_t>& lineA,
               std::vector<uint8_t>& lineB, uint32_t width, size_t bytesPerPixel, uint32_t left, uint32_t top,
               uint32_t columnStep, uint32_t rowStep, uint32_t passWidth, uint32_t passHeight,
               uint32_t bitsPerPixel);

// Decode and convert: on success output holds the rows below and hasAlpha tells whether the image has four
// channels; on an error output is empty and hasAlpha is not written. Only 8-bit RGB and RGBA images are
// painted; every other image gives black rows of the right size. With four channels the rows are twice
// the height: the colour premultiplied by alpha above a mask of grey 255 - alpha.
// 16-bit form: rows of width * 2 bytes, each pixel PackRgb565 stored little-endian.
void ConvertPngToRgb565(std::vector<uint8_t>& fileBytes, std::vector<uint8_t>& output, bool& hasAlpha);
// 24-bit form: rows of 3 * width bytes rounded up to a multiple of 4, each pixel blue, green, red.
void ConvertPngToBgr24(std::vector<uint8_t>& fileBytes, std::vector<uint8_t>& output, bool& hasAlpha);

// blue / 8 in bits 0-4, green / 4 in bits 5-10, red / 8 in bits 11-15.
uint16_t PackRgb565(uint8_t blue, uint8_t green, uint8_t red);
// blue in bits 0-7, green in bits 8-15, red in bits 16-23: stored little-endian, the bytes blue, green, red.
uint32_t PackBgr24(uint8_t blue, uint8_t green, uint8_t red);
// color * alpha / 255, truncated.
uint8_t PremultiplyAlpha(uint8_t color, uint8_t alpha);
