#include "DwgLz77.h"

#include <array>
#include <cstring>

namespace BruteForce {

namespace {

// A literal run of up to 32 bytes is stored as pieces in a shuffled order:
// entry n lists, for a run of n bytes, where each piece of the output comes
// from in the stored bytes (start, length), in output order.
struct Piece {
    uint8_t from;
    uint8_t count;
};
using Layout = std::array<Piece, 8>;  // unused pieces have count 0

constexpr std::array<Layout, 33> kLiteralLayouts = {{
    {},                                                              // 0
    {{{0, 1}}},                                                      // 1
    {{{1, 1}, {0, 1}}},                                              // 2
    {{{2, 1}, {1, 1}, {0, 1}}},                                      // 3
    {{{0, 4}}},                                                      // 4
    {{{4, 1}, {0, 4}}},                                              // 5
    {{{5, 1}, {1, 4}, {0, 1}}},                                      // 6
    {{{6, 1}, {5, 1}, {1, 4}, {0, 1}}},                              // 7
    {{{0, 8}}},                                                      // 8
    {{{8, 1}, {0, 8}}},                                              // 9
    {{{9, 1}, {1, 8}, {0, 1}}},                                      // 10
    {{{10, 1}, {9, 1}, {1, 8}, {0, 1}}},                             // 11
    {{{8, 4}, {0, 8}}},                                              // 12
    {{{12, 1}, {8, 4}, {0, 8}}},                                     // 13
    {{{13, 1}, {9, 4}, {1, 8}, {0, 1}}},                             // 14
    {{{14, 1}, {13, 1}, {9, 4}, {1, 8}, {0, 1}}},                    // 15
    {{{8, 8}, {0, 8}}},                                              // 16
    {{{9, 8}, {8, 1}, {0, 8}}},                                      // 17
    {{{17, 1}, {9, 8}, {1, 8}, {0, 1}}},                             // 18
    {{{18, 1}, {17, 1}, {16, 1}, {8, 8}, {0, 8}}},                   // 19
    {{{16, 4}, {8, 8}, {0, 8}}},                                     // 20
    {{{20, 1}, {16, 4}, {8, 8}, {0, 8}}},                            // 21
    {{{21, 1}, {20, 1}, {16, 4}, {8, 8}, {0, 8}}},                   // 22
    {{{22, 1}, {21, 1}, {20, 1}, {16, 4}, {8, 8}, {0, 8}}},          // 23
    {{{16, 8}, {8, 8}, {0, 8}}},                                     // 24
    {{{17, 8}, {16, 1}, {8, 8}, {0, 8}}},                            // 25
    {{{25, 1}, {17, 8}, {16, 1}, {8, 8}, {0, 8}}},                   // 26
    {{{26, 1}, {25, 1}, {17, 8}, {16, 1}, {8, 8}, {0, 8}}},          // 27
    {{{24, 4}, {16, 8}, {8, 8}, {0, 8}}},                            // 28
    {{{28, 1}, {24, 4}, {16, 8}, {8, 8}, {0, 8}}},                   // 29
    {{{29, 1}, {28, 1}, {24, 4}, {16, 8}, {8, 8}, {0, 8}}},          // 30
    {{{30, 1}, {26, 4}, {18, 8}, {10, 8}, {2, 8}, {1, 1}, {0, 1}}},  // 31
    {{{24, 8}, {16, 8}, {8, 8}, {0, 8}}},                            // 32
}};

class Unpacker {
public:
    Unpacker(const uint8_t* input, size_t inputSize, uint8_t* output, size_t capacity)
        : in_(input), inSize_(inputSize), out_(output), capacity_(capacity) {}

    bool Run();
    size_t Produced() const { return outAt_; }

private:
    bool Byte(uint32_t& value) {
        if (inAt_ >= inSize_)
            return false;
        value = in_[inAt_++];
        return true;
    }
    bool LiteralLength(uint32_t opcode, size_t& length);
    bool Literal(size_t length);
    bool Instruction(uint32_t& opcode, size_t& length, size_t& offset);
    bool Copy(size_t length, size_t offset);

    const uint8_t* in_;
    size_t inSize_;
    size_t inAt_ = 0;
    uint8_t* out_;
    size_t capacity_;
    size_t outAt_ = 0;
};

// Opcodes 0x00-0x0F start a literal run of 8-22 bytes; 0x0F takes an extra
// length byte, and 0xFF there adds 16-bit lengths while they are 0xFFFF.
bool Unpacker::LiteralLength(uint32_t opcode, size_t& length) {
    length = opcode + 8;
    if (length != 0x17)
        return true;
    uint32_t extra = 0;
    if (!Byte(extra))
        return false;
    length += extra;
    if (extra != 0xFF)
        return true;
    do {
        uint32_t low = 0;
        uint32_t high = 0;
        if (!Byte(low) || !Byte(high))
            return false;
        extra = low | high << 8;
        length += extra;
    } while (extra == 0xFFFF);
    return true;
}

bool Unpacker::Literal(size_t length) {
    if (length > inSize_ - inAt_ || length > capacity_ - outAt_)
        return false;
    while (length > 0) {
        const size_t run = length < 32 ? length : 32;
        for (const Piece& piece : kLiteralLayouts[run]) {
            std::memcpy(out_ + outAt_, in_ + inAt_ + piece.from, piece.count);
            outAt_ += piece.count;
        }
        inAt_ += run;
        length -= run;
    }
    return true;
}

// Reads a copy instruction starting with `opcode`; leaves in `opcode` the
// last byte read, whose low three bits count the literal bytes that follow.
bool Unpacker::Instruction(uint32_t& opcode, size_t& length, size_t& offset) {
    uint32_t a = 0;
    uint32_t b = 0;
    switch (opcode >> 4) {
        case 0:
            if (!Byte(a) || !Byte(b))
                return false;
            length = (opcode & 0xF) + 0x13 + ((b >> 3) & 0x10);
            offset = ((b & 0x78) << 5) + 1 + a;
            opcode = b;
            return true;
        case 1:
            if (!Byte(a) || !Byte(b))
                return false;
            length = (opcode & 0xF) + 3;
            offset = ((b & 0xF8) << 5) + 1 + a;
            opcode = b;
            return true;
        case 2: {
            if (!Byte(a) || !Byte(b))
                return false;
            offset = a | b << 8;
            length = opcode & 7;
            uint32_t last = 0;
            if ((opcode & 8) == 0) {
                if (!Byte(last))
                    return false;
                length += last & 0xF8;
            } else {
                uint32_t middle = 0;
                if (!Byte(middle) || !Byte(last))
                    return false;
                offset += 1;
                length += (middle << 3) + ((last & 0xF8) << 8) + 0x100;
            }
            opcode = last;
            return true;
        }
        default:
            if (!Byte(a))
                return false;
            length = opcode >> 4;
            offset = (opcode & 0xF) + ((a & 0xF8) << 1) + 1;
            opcode = a;
            return true;
    }
}

bool Unpacker::Copy(size_t length, size_t offset) {
    if (offset == 0 || offset > outAt_ || length > capacity_ - outAt_)
        return false;
    // Byte by byte: the source may overlap what this copy writes.
    for (size_t i = 0; i < length; ++i, ++outAt_)
        out_[outAt_] = out_[outAt_ - offset];
    return true;
}

bool Unpacker::Run() {
    uint32_t opcode = 0;
    if (!Byte(opcode))
        return false;
    size_t length = 0;
    if ((opcode & 0xF0) == 0x20) {
        // A leading short literal: its length sits in the third byte after.
        if (inSize_ - inAt_ < 3)
            return false;
        inAt_ += 3;
        length = in_[inAt_ - 1] & 7;
    }
    while (inAt_ < inSize_) {
        if (length == 0 && !LiteralLength(opcode, length))
            return false;
        if (!Literal(length))
            return false;
        length = 0;
        if (inAt_ >= inSize_)
            break;
        size_t offset = 0;
        if (!Byte(opcode) || !Instruction(opcode, length, offset))
            return false;
        for (;;) {
            if (!Copy(length, offset))
                return false;
            length = opcode & 7;
            if (length != 0 || inAt_ >= inSize_)
                break;
            if (!Byte(opcode))
                return false;
            if ((opcode >> 4) == 0)
                break;  // a literal run follows
            if ((opcode >> 4) == 0xF)
                opcode &= 0xF;
            if (!Instruction(opcode, length, offset))
                return false;
        }
    }
    // Literal bytes announced by the last copy but never stored: cut short.
    return length == 0;
}

}  // namespace

bool DecompressDwgLz77(const uint8_t* input, size_t inputSize, uint8_t* output, size_t capacity,
                       size_t& produced) {
    Unpacker unpacker(input, inputSize, output, capacity);
    const bool ok = unpacker.Run();
    produced = unpacker.Produced();
    return ok;
}

}  // namespace BruteForce
