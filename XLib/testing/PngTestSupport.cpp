#include "PngTestSupport.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <stdexcept>

Bytes ZlibCompress(const Bytes& data, int level, int strategy, int windowBits) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&stream, uLong(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = uInt(data.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    int result = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate");
    out.resize(stream.total_out);
    return out;
}

void BitWriter::Put(uint32_t value, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, ++m_bits) {
        if (m_bits % 8 == 0)
            m_data.push_back(0);
        m_data.back() |= uint8_t(((value >> i) & 1) << (m_bits % 8));
    }
}

void BitWriter::PutCode(uint32_t code, uint32_t length) {
    for (uint32_t i = length; i-- > 0;)
        Put((code >> i) & 1, 1);
}

void BitWriter::PutFixedLiteral(uint32_t symbol) {
    if (symbol < 144)
        PutCode(0x30 + symbol, 8);
    else if (symbol < 256)
        PutCode(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        PutCode(symbol - 256, 7);
    else
        PutCode(0xC0 + symbol - 280, 8);
}

int ChannelsOf(int colorType) {
    switch (colorType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

size_t RowBytes(uint32_t width, int bitDepth, int colorType) {
    return (size_t(width) * bitDepth * ChannelsOf(colorType) + 7) / 8;
}

PngImage RandomImage(std::mt19937& random, uint32_t width, uint32_t height, int bitDepth, int colorType,
                     bool interlaced) {
    PngImage image;
    image.width = width;
    image.height = height;
    image.bitDepth = bitDepth;
    image.colorType = colorType;
    image.interlaced = interlaced;
    std::uniform_int_distribution<int> byte(0, 255);
    size_t rowBytes = RowBytes(width, bitDepth, colorType);
    uint32_t rowBits = width * bitDepth * ChannelsOf(colorType);
    for (uint32_t y = 0; y < height; ++y) {
        Bytes row(rowBytes);
        for (auto& b : row)
            b = uint8_t(byte(random));
        // Padding bits stay zero, as libpng returns them.
        if (rowBits % 8 != 0)
            row.back() &= uint8_t(0xFF << (8 - rowBits % 8));
        image.rows.push_back(row);
    }
    if (colorType == 3) {
        image.palette.resize(3 * (size_t(1) << bitDepth));
        for (auto& b : image.palette)
            b = uint8_t(byte(random));
    }
    return image;
}

namespace {

struct Buffer {
    const Bytes* in = nullptr;
    size_t pos = 0;
    Bytes* out = nullptr;
};

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* buffer = static_cast<Buffer*>(png_get_io_ptr(png));
    buffer->out->insert(buffer->out->end(), data, data + length);
}

void ReadFromVector(png_structp png, png_bytep data, png_size_t length) {
    auto* buffer = static_cast<Buffer*>(png_get_io_ptr(png));
    if (buffer->pos + length > buffer->in->size())
        png_error(png, "read past end");
    std::memcpy(data, buffer->in->data() + buffer->pos, length);
    buffer->pos += length;
}

} // namespace

Bytes EncodeWithLibpng(const PngImage& image) {
    Bytes out;
    Buffer buffer;
    buffer.out = &out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    std::vector<png_color> palette;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng write failed");
    }
    png_set_write_fn(png, &buffer, WriteToVector, nullptr);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colorType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (image.colorType == 3) {
        for (size_t i = 0; i + 2 < image.palette.size(); i += 3)
            palette.push_back({image.palette[i], image.palette[i + 1], image.palette[i + 2]});
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    }
    if (!image.transparency.empty()) {
        const Bytes& t = image.transparency;
        if (image.colorType == 3) {
            png_set_tRNS(png, info, t.data(), int(t.size()), nullptr);
        } else {
            png_color_16 key{};
            key.gray = png_uint_16(t[0] << 8 | t[1]);
            if (t.size() >= 6) {
                key.red = png_uint_16(t[0] << 8 | t[1]);
                key.green = png_uint_16(t[2] << 8 | t[3]);
                key.blue = png_uint_16(t[4] << 8 | t[5]);
            }
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    if (image.filters >= 0)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, image.filters);
    for (const Bytes& row : image.rows)
        rows.push_back(const_cast<png_bytep>(row.data()));
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes DecodeWithLibpng(const Bytes& file) {
    Buffer buffer;
    buffer.in = &file;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<Bytes> rows;
    std::vector<png_bytep> pointers;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw std::runtime_error("libpng read failed");
    }
    png_set_read_fn(png, &buffer, ReadFromVector);
    png_read_info(png, info);
    uint32_t width = png_get_image_width(png, info);
    uint32_t height = png_get_image_height(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    int colorType = png_get_color_type(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    rows.assign(height, Bytes(png_get_rowbytes(png, info)));
    for (Bytes& row : rows)
        pointers.push_back(row.data());
    png_read_image(png, pointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return PackRows(rows, width, bitDepth, colorType);
}

Bytes PackRows(const std::vector<Bytes>& rows, uint32_t width, int bitDepth, int colorType) {
    uint64_t rowBits = uint64_t(width) * bitDepth * ChannelsOf(colorType);
    Bytes out((rows.size() * rowBits + 7) / 8);
    uint64_t outBit = 0;
    for (const Bytes& row : rows) {
        if (rowBits % 8 == 0) {
            std::memcpy(out.data() + outBit / 8, row.data(), rowBits / 8);
            outBit += rowBits;
            continue;
        }
        for (uint64_t i = 0; i < rowBits; ++i, ++outBit) {
            if ((row[i / 8] >> (7 - i % 8)) & 1)
                out[outBit / 8] |= uint8_t(0x80 >> (outBit % 8));
        }
    }
    return out;
}

Bytes PngChunk(const std::string& type, const Bytes& data) {
    Bytes out(12 + data.size());
    uint32_t length = uint32_t(data.size());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), uInt(type.size()));
    crc = crc32(crc, data.data(), uInt(data.size()));
    for (int i = 0; i < 4; ++i) {
        out[i] = uint8_t(length >> (24 - 8 * i));
        out[4 + i] = uint8_t(type.at(i));
        out[8 + data.size() + i] = uint8_t(crc >> (24 - 8 * i));
    }
    if (!data.empty())
        std::memcpy(out.data() + 8, data.data(), data.size());
    return out;
}

Bytes PngStart(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType, uint8_t interlace,
               uint8_t compression, uint8_t filter) {
    Bytes out = {137, 80, 78, 71, 13, 10, 26, 10};
    Bytes ihdr;
    for (uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            ihdr.push_back(uint8_t(value >> shift));
    ihdr.insert(ihdr.end(), {bitDepth, colorType, compression, filter, interlace});
    Append(out, PngChunk("IHDR", ihdr));
    return out;
}

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

std::vector<ParsedChunk> ParseChunks(const Bytes& file) {
    std::vector<ParsedChunk> chunks;
    size_t pos = 8;
    while (pos + 12 <= file.size()) {
        uint32_t length = uint32_t(file[pos]) << 24 | uint32_t(file[pos + 1]) << 16 |
                          uint32_t(file[pos + 2]) << 8 | file[pos + 3];
        ParsedChunk chunk;
        chunk.type.assign(reinterpret_cast<const char*>(file.data() + pos + 4), 4);
        chunk.data.assign(file.begin() + long(pos + 8), file.begin() + long(pos + 8 + length));
        chunks.push_back(chunk);
        pos += 12 + length;
    }
    return chunks;
}
