#include "HFSPlusLzvn.h"

#include <cstdint>
#include <cstring>

namespace {

// What the first byte of an operation says.
enum class Op : uint8_t {
    SmallDistance,     // LLMMMDDD DDDDDDDD
    MediumDistance,    // 101LLMMM DDDDDDMM DDDDDDDD
    LargeDistance,     // LLMMM111 DDDDDDDD DDDDDDDD
    PreviousDistance,  // LLMMM110
    SmallLiteral,      // 1110LLLL
    LargeLiteral,      // 11100000 LLLLLLLL
    SmallMatch,        // 1111MMMM, previous distance
    LargeMatch,        // 11110000 MMMMMMMM, previous distance
    NoOperation,
    EndOfStream,
    Undefined,
};

Op Classify(uint8_t op) {
    if (op == 0x06)
        return Op::EndOfStream;
    if (op == 0x0E || op == 0x16)
        return Op::NoOperation;
    if ((op >= 0x70 && op <= 0x7F) || (op >= 0xD0 && op <= 0xDF))
        return Op::Undefined;
    if (op >= 0xA0 && op <= 0xBF)
        return Op::MediumDistance;
    if (op == 0xE0)
        return Op::LargeLiteral;
    if (op > 0xE0 && op <= 0xEF)
        return Op::SmallLiteral;
    if (op == 0xF0)
        return Op::LargeMatch;
    if (op > 0xF0)
        return Op::SmallMatch;
    if ((op & 7) == 6)
        return op < 0x40 ? Op::Undefined : Op::PreviousDistance;
    if ((op & 7) == 7)
        return Op::LargeDistance;
    return Op::SmallDistance;
}

class Decoder {
public:
    Decoder(uint8_t* out, uint64_t capacity, const uint8_t* in, uint64_t length)
        : out_(out), capacity_(capacity), in_(in), length_(length) {}

    // Bytes written, or 0 on a malformed stream.
    uint64_t Run() {
        while (true) {
            if (at_ >= length_)
                return 0;  // no end-of-stream opcode
            const uint8_t op = in_[at_];
            uint64_t literals = 0;
            uint64_t match = 0;
            switch (Classify(op)) {
                case Op::EndOfStream:
                    return written_;
                case Op::Undefined:
                    return 0;
                case Op::NoOperation:
                    ++at_;
                    continue;
                case Op::SmallDistance:
                    if (!Need(2))
                        return 0;
                    literals = op >> 6;
                    match = ((op >> 3) & 7) + 3;
                    distance_ = (uint64_t{op & 7u} << 8) | in_[at_ + 1];
                    at_ += 2;
                    break;
                case Op::MediumDistance:
                    if (!Need(3))
                        return 0;
                    literals = (op >> 3) & 3;
                    match = (((op & 7u) << 2) | (in_[at_ + 1] & 3u)) + 3;
                    distance_ = (uint64_t{in_[at_ + 2]} << 6) | (in_[at_ + 1] >> 2);
                    at_ += 3;
                    break;
                case Op::LargeDistance:
                    if (!Need(3))
                        return 0;
                    literals = op >> 6;
                    match = ((op >> 3) & 7) + 3;
                    distance_ = in_[at_ + 1] | (uint64_t{in_[at_ + 2]} << 8);
                    at_ += 3;
                    break;
                case Op::PreviousDistance:
                    literals = op >> 6;
                    match = ((op >> 3) & 7) + 3;
                    at_ += 1;
                    break;
                case Op::SmallLiteral:
                    literals = op & 0x0F;
                    at_ += 1;
                    break;
                case Op::LargeLiteral:
                    if (!Need(2))
                        return 0;
                    literals = uint64_t{in_[at_ + 1]} + 16;
                    at_ += 2;
                    break;
                case Op::SmallMatch:
                    match = op & 0x0F;
                    at_ += 1;
                    break;
                case Op::LargeMatch:
                    if (!Need(2))
                        return 0;
                    match = uint64_t{in_[at_ + 1]} + 16;
                    at_ += 2;
                    break;
            }
            if (!CopyLiterals(literals) || !CopyMatch(match))
                return 0;
            if (written_ == capacity_)
                return written_;  // the destination is full
        }
    }

private:
    bool Need(uint64_t bytes) const { return length_ - at_ >= bytes; }

    bool CopyLiterals(uint64_t count) {
        if (count == 0)
            return true;
        if (!Need(count))
            return false;
        const uint64_t room = capacity_ - written_;
        std::memcpy(out_ + written_, in_ + at_, count < room ? count : room);
        written_ += count < room ? count : room;
        at_ += count;
        return true;
    }

    // Byte by byte: a match may overlap the bytes it produces.
    bool CopyMatch(uint64_t count) {
        if (count == 0)
            return true;
        if (distance_ == 0 || distance_ > written_)
            return false;
        const uint64_t room = capacity_ - written_;
        const uint64_t take = count < room ? count : room;
        for (uint64_t i = 0; i < take; ++i, ++written_)
            out_[written_] = out_[written_ - distance_];
        return true;
    }

    uint8_t* out_;
    uint64_t capacity_;
    const uint8_t* in_;
    uint64_t length_;
    uint64_t at_ = 0;
    uint64_t written_ = 0;
    uint64_t distance_ = 0;
};

}  // namespace

unsigned long lzvn_decode(void* destination, unsigned long capacity, const void* source,
                          unsigned long length) {
    if (destination == nullptr || source == nullptr)
        return 0;
    Decoder decoder(static_cast<uint8_t*>(destination), capacity,
                    static_cast<const uint8_t*>(source), length);
    return decoder.Run();
}
