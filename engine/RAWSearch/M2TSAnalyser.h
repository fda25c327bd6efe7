#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

namespace BruteForce {

// MPEG transport streams of 188-byte packets, and BDAV streams of 192-byte
// ones, measured packet by packet while the scan streams past them. One
// stream is measured at a time.
class CM2TSAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 129;
    static constexpr int64_t kLeastBytes = 20480;
    static constexpr int64_t kMostBytes = 10000000000;

    class CM2TSFileInfo : public CRawFileInfo {
    public:
        CM2TSFileInfo(CM2TSAnalyser* owner, int packetLength)
            : carriedOffset(packetLength == 192 ? 4 : 0),
              owner_(owner),
              packetLength_(packetLength) {}
        bool WhetherImplementGuess() override { return true; }
        // Leaving the stream (evicted, or the scan is over) ends the stream
        // where the packets seen so far end.
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        int32_t carriedOffset;  // of the next sync byte, into the next sector
        uint32_t packetsSinceGroup = 0;

    private:
        // Counts a packet; true at the size cap.
        bool Count();
        // Adds the packets since the last group; the stream is over.
        int End();

        CM2TSAnalyser* owner_;  // not owned
        int packetLength_;
        bool ended_ = false;
        bool pending_ = false;  // a packet whose end lies in the next sector
    };

    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;

    // The packet length of the stream last matched, 188 or 192.
    int m_nHeaderOffset = 188;
    // A stream is being measured: no new one is taken.
    bool g_s_bNewM2TSFile = false;
};

}  // namespace BruteForce
