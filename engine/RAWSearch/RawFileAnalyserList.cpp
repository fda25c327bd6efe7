#include "RawFileAnalyserList.h"

#include <memory>

#include "AEPMembers.h"
#include "ArchiveMembers.h"
#include "CameraRawMembers.h"
#include "ChainMembers.h"
#include "ContainerMembers.h"
#include "GZMembers.h"
#include "HeaderAnalysers.h"
#include "FileZIPAnalyser.h"
#include "FileOLEAnalyser.h"
#include "FilePKGAnalyser.h"
#include "PdfAnalyzer.h"
#include "FCPEvtAnalyser.h"
#include "DrawingAnalysers.h"
#include "GifAnalyser.h"
#include "JpegAnalyzer.h"
#include "HeaderFieldMembers.h"
#include "MDBMembers.h"
#include "MediaMembers.h"
#include "PNGAnalyser.h"
#include "TiffAnalyzer.h"
// Audio and video.
#include "ADTSAnalyser.h"
#include "APEAnalyser.h"
#include "AsfAnalyser.h"
#include "M2TSAnalyser.h"
#include "MP3Analyzer.h"
#include "MovAnalyzer.h"
#include "PictureMembers.h"
#include "RTFMembers.h"
#include "SVGMembers.h"
#include "ZeroTailMembers.h"

namespace {

template <class Analyser>
IRawFileAnalyser* Make() {
    return new Analyser();
}

// The analyser classes this build has, by the names the key tables use. An
// analyser joins the search by adding its line here.
const std::map<std::string, CRawFileAnalyserListSingle::Factory>& BuiltInFactories() {
    static const std::map<std::string, CRawFileAnalyserListSingle::Factory> factories = {
        {"ZizEdoza::PNGAnalyser", Make<ZizEdoza::PNGAnalyser>},
        // Header analysers: a header field or a short walk gives the size.
        {"FileAUAnalyser", Make<FileAUAnalyser>},
        {"FileBMPAnalyser", Make<FileBMPAnalyser>},
        {"FileCABAnalyser", Make<FileCABAnalyser>},
        {"FileCHMAnalyser", Make<FileCHMAnalyser>},
        {"FileCPTAnalyser", Make<FileCPTAnalyser>},
        {"FileEMFAnalyser", Make<FileEMFAnalyser>},
        {"FileHLPAnalyser", Make<FileHLPAnalyser>},
        {"FileICOAnalyser", Make<FileICOAnalyser>},
        {"FileLowDocAnalyser", Make<FileLowDocAnalyser>},
        {"FileMNYAnalyser", Make<FileMNYAnalyser>},
        {"FileMboxAnalyser", Make<FileMboxAnalyser>},
        {"FileMKVAnalyser", Make<FileMKVAnalyser>},
        {"FileMRWAnalyser", Make<FileMRWAnalyser>},
        {"FileITLAnalyser", Make<FileITLAnalyser>},
        {"FileICNSAnalyser", Make<FileICNSAnalyser>},
        {"FilePSTAnalyser", Make<FilePSTAnalyser>},
        {"FileRIFFAnalyser", Make<FileRIFFAnalyser>},
        {"FileSWFAnalyser", Make<FileSWFAnalyser>},
        {"FileTTFAnalyser", Make<FileTTFAnalyser>},
        {"FileUnicodeHTMAnalyser", Make<FileUnicodeHTMAnalyser>},
        {"FileWMFAnalyser", Make<FileWMFAnalyser>},
        {"FileWPDAnalyser", Make<FileWPDAnalyser>},
        {"CFileAIFAnalyzer", Make<CFileAIFAnalyzer>},
        // Documents and containers.
        {"FileZIPAnalyser", Make<FileZIPAnalyser>},
        {"FileOLEAnalyser", Make<FileOLEAnalyser>},
        {"FilePKGAnalyser", Make<FilePKGAnalyser>},
        {"BruteForce::PdfAnalyzer", Make<BruteForce::PdfAnalyzer>},
        {"BruteForce::CFCPEvtAnalyser", Make<BruteForce::CFCPEvtAnalyser>},
        // Photos and drawings.
        {"BruteForce::JpegAnalyzer", Make<BruteForce::JpegAnalyzer>},
        {"BruteForce::CGifAnalyser", Make<BruteForce::CGifAnalyser>},
        {"BruteForce::TiffAnalyzer", Make<BruteForce::TiffAnalyzer>},
        {"BruteForce::CDWGAnalyser", Make<BruteForce::CDWGAnalyser>},
        {"BruteForce::CDXFAnalyser", Make<BruteForce::CDXFAnalyser>},
        {"BruteForce::CEPSAnalyser", Make<BruteForce::CEPSAnalyser>},
        {"BruteForce::CFH11Analyser", Make<BruteForce::CFH11Analyser>},
        // Audio and video.
        {"BruteForce::MP3Analyzer", Make<BruteForce::MP3Analyzer>},
        {"BruteForce::CAPEAnalyser", Make<BruteForce::CAPEAnalyser>},
        {"BruteForce::CADTSAnalyser", Make<BruteForce::CADTSAnalyser>},
        {"BruteForce::CAsfAnalyser", Make<BruteForce::CAsfAnalyser>},
        {"BruteForce::CM2TSAnalyser", Make<BruteForce::CM2TSAnalyser>},
        {"BruteForce::MovAnalyzer", Make<BruteForce::MovAnalyzer>},
        {"BruteForce::C3GPAnalyser", Make<BruteForce::C3GPAnalyser>},
        {"BruteForce::Mp4Analyzer", Make<BruteForce::Mp4Analyzer>},
        // Streaming members measured while the scan passes over them.
        {"ZizEdoza::AEPAnalyser", Make<ZizEdoza::AEPAnalyser>},
        {"ZizEdoza::CMDBAnalyser", Make<ZizEdoza::CMDBAnalyser>},
        {"ZizEdoza::DbxAnalyser", Make<ZizEdoza::DbxAnalyser>},
        {"ZizEdoza::GZAnalyzer", Make<ZizEdoza::GZAnalyzer>},
        {"ZizEdoza::HTMLAnalyser", Make<ZizEdoza::HTMLAnalyser>},
        {"ZizEdoza::InddAnalyser", Make<ZizEdoza::InddAnalyser>},
        {"ZizEdoza::JKSAnalyser", Make<ZizEdoza::JKSAnalyser>},
        {"ZizEdoza::MIDAnalyser", Make<ZizEdoza::MIDAnalyser>},
        {"ZizEdoza::MLvAnalyser", Make<ZizEdoza::MLvAnalyser>},
        {"ZizEdoza::MOBIAnalyser", Make<ZizEdoza::MOBIAnalyser>},
        {"ZizEdoza::MxfAnalyser", Make<ZizEdoza::MxfAnalyser>},
        {"ZizEdoza::New3DSAnalyser", Make<ZizEdoza::New3DSAnalyser>},
        {"ZizEdoza::NGRRAnalyser", Make<ZizEdoza::NGRRAnalyser>},
        {"ZizEdoza::OneAnalyser", Make<ZizEdoza::OneAnalyser>},
        {"ZizEdoza::PSDAnalyser", Make<ZizEdoza::PSDAnalyser>},
        {"ZizEdoza::PSPAnalyser", Make<ZizEdoza::PSPAnalyser>},
        {"ZizEdoza::PSAFE3Analyser", Make<ZizEdoza::PSAFE3Analyser>},
        {"ZizEdoza::RARAnalyser", Make<ZizEdoza::RARAnalyser>},
        {"ZizEdoza::RTFAnalyser", Make<ZizEdoza::RTFAnalyser>},
        {"ZizEdoza::SIBAnalyser", Make<ZizEdoza::SIBAnalyser>},
        {"ZizEdoza::SITAnalyser", Make<ZizEdoza::SITAnalyser>},
        {"ZizEdoza::TARAnalyser", Make<ZizEdoza::TARAnalyser>},
        {"ZizEdoza::WpgAnalyser", Make<ZizEdoza::WpgAnalyser>},
        {"Zorado::CRWAnalyser", Make<Zorado::CRWAnalyser>},
        {"Zorado::DMGAnalyser", Make<Zorado::DMGAnalyser>},
        {"Zorado::FLVAnalyser", Make<Zorado::FLVAnalyser>},
        {"Zorado::LZHAnalyser", Make<Zorado::LZHAnalyser>},
        {"Zorado::MPGAnalyser", Make<Zorado::MPGAnalyser>},
        {"Zorado::OGGAnalyser", Make<Zorado::OGGAnalyser>},
        {"Zorado::RM_RMVBAnalyser", Make<Zorado::RM_RMVBAnalyser>},
        {"Zorado::SVGAnalyser", Make<Zorado::SVGAnalyser>},
        {"Zorado::X3FAnalyser", Make<Zorado::X3FAnalyser>},
    };
    return factories;
}

std::map<std::string, CRawFileAnalyserListSingle::Factory>& Factories() {
    static std::map<std::string, CRawFileAnalyserListSingle::Factory> factories =
        BuiltInFactories();
    return factories;
}

// A new analyser of the named class, or null while the class has no factory.
IRawFileAnalyser* MakeAnalyser(const char* className) {
    const auto& factories = Factories();
    const auto found = factories.find(className);
    return found == factories.end() || !found->second ? nullptr : found->second();
}

}  // namespace

// Keys are the sector's first bytes (shown in file order) read as a
// little-endian number.
const std::vector<RawAnalyserKey>& CRawFileAnalyserListSingle::MapKeys() {
    static const std::vector<RawAnalyserKey> keys = {
        {0xE0FFD8FF, "BruteForce::JpegAnalyzer"},     // FF D8 FF E0
        {0xE1FFD8FF, "BruteForce::JpegAnalyzer"},     // FF D8 FF E1
        {0xDBFFD8FF, "BruteForce::JpegAnalyzer"},     // FF D8 FF DB
        {0xEEFFD8FF, "BruteForce::JpegAnalyzer"},     // FF D8 FF EE
        {0x46445025, "BruteForce::PdfAnalyzer"},      // 25 50 44 46
        {0x2A004D4D, "BruteForce::TiffAnalyzer"},     // 4D 4D 00 2A
        {0x002A4949, "BruteForce::TiffAnalyzer"},     // 49 49 2A 00
        {0x00554949, "BruteForce::TiffAnalyzer"},     // 49 49 55 00
        {0x4F524949, "BruteForce::TiffAnalyzer"},     // 49 49 52 4F
        {0x53524949, "BruteForce::TiffAnalyzer"},     // 49 49 52 53
        {0x494A5546, "BruteForce::TiffAnalyzer"},     // 46 55 4A 49
        {0x524F4D4D, "BruteForce::TiffAnalyzer"},     // 4D 4D 4F 52
        {0x001A4949, "Zorado::CRWAnalyser"},          // 49 49 1A 00
        {0x001A4D4D, "Zorado::CRWAnalyser"},          // 4D 4D 1A 00
        {0x31685A42, "Zorado::DMGAnalyser"},          // 42 5A 68 31
        {0x62564F46, "Zorado::X3FAnalyser"},          // 46 4F 56 62
        {0xB3010000, "Zorado::MPGAnalyser"},          // 00 00 01 B3
        {0xBA010000, "Zorado::MPGAnalyser"},          // 00 00 01 BA
        {0x5367674F, "Zorado::OGGAnalyser"},          // 4F 67 67 53
        {0x464D522E, "Zorado::RM_RMVBAnalyser"},      // 2E 52 4D 46
        {0x6D783F3C, "Zorado::SVGAnalyser"},          // 3C 3F 78 6D
        {0x3CBFBBEF, "Zorado::SVGAnalyser"},          // EF BB BF 3C
        {0x000001CD, "Zorado::SVGAnalyser"},          // CD 01 00 00
        {0x6776737C, "Zorado::SVGAnalyser"},          // 7C 73 76 67
        {0x5A464342, "Zorado::SVGAnalyser"},          // 42 43 46 5A
        {0x75B22630, "BruteForce::CAsfAnalyser"},     // 30 26 B2 75
        {0x0D302020, "BruteForce::CDXFAnalyser"},     // 20 20 30 0D
        {0x2043414D, "BruteForce::CAPEAnalyser"},     // 4D 41 43 20
        {0x0000011C, "BruteForce::CFH11Analyser"},    // 1C 01 00 00
        {0xC6D3D0C5, "BruteForce::CEPSAnalyser"},     // C5 D0 D3 C6
        {0x30314341, "BruteForce::CDWGAnalyser"},     // 41 43 31 30
        {0x38464947, "BruteForce::CGifAnalyser"},     // 47 49 46 38
        {0x6468544D, "ZizEdoza::MIDAnalyser"},        // 4D 54 68 64
        {0x474E5089, "ZizEdoza::PNGAnalyser"},        // 89 50 4E 47
        {0x53504238, "ZizEdoza::PSDAnalyser"},        // 38 42 50 53
        {0x74725C7B, "ZizEdoza::RTFAnalyser"},        // 7B 5C 72 74
        {0x6E696150, "ZizEdoza::PSPAnalyser"},        // 50 61 69 6E
        {0x21726152, "ZizEdoza::RARAnalyser"},        // 52 61 72 21
        {0x7B5C52E4, "ZizEdoza::OneAnalyser"},        // E4 52 5C 7B
        {0x00677077, "ZizEdoza::WpgAnalyser"},        // 77 70 67 00
        {0x36464D4A, "ZizEdoza::DbxAnalyser"},        // 4A 4D 46 36
        {0xFE12ADCF, "ZizEdoza::DbxAnalyser"},        // CF AD 12 FE
        {0x2C3489F7, "ZizEdoza::DbxAnalyser"},        // F7 89 34 2C
        {0x4249530F, "ZizEdoza::SIBAnalyser"},        // 0F 53 49 42
        {0x42424557, "ZizEdoza::SITAnalyser"},        // 57 45 42 42
        {0x66757453, "ZizEdoza::SITAnalyser"},        // 53 74 75 66
        {0xEDFEEDFE, "ZizEdoza::JKSAnalyser"},        // FE ED FE ED
        {0x33535750, "ZizEdoza::PSAFE3Analyser"},     // 50 57 53 33
        {0x2D6E692D, "ZizEdoza::NGRRAnalyser"},       // 2D 69 6E 2D
        {0x342B0E06, "ZizEdoza::MxfAnalyser"},        // 06 0E 2B 34
        {0x58464952, "ZizEdoza::AEPAnalyser"},        // 52 49 46 58
        {0x49564C4D, "ZizEdoza::MLvAnalyser"},        // 4D 4C 56 49
        {0x4D524F46, "CFileAIFAnalyzer"},             // 46 4F 52 4D
        {0x04034B50, "FileZIPAnalyser"},              // 50 4B 03 04
        {0x435057FF, "FileWPDAnalyser"},              // FF 57 50 43
        {0x00090001, "FileWMFAnalyser"},              // 01 00 09 00
        {0x9AC6CDD7, "FileWMFAnalyser"},              // D7 CD C6 9A
        {0x00000100, "FileTTFAnalyser"},              // 00 01 00 00
        {0x46464952, "FileRIFFAnalyser"},             // 52 49 46 46
        {0x4E444221, "FilePSTAnalyser"},              // 21 42 44 4E
        {0xE011CFD0, "FileOLEAnalyser"},              // D0 CF 11 E0
        {0x002DA5DB, "FileLowDocAnalyser"},           // DB A5 2D 00
        {0x002EA694, "FileLowDocAnalyser"},           // 94 A6 2E 00
        {0x00010000, "FileICOAnalyser"},              // 00 00 01 00
        {0x00020000, "FileICOAnalyser"},              // 00 00 02 00
        {0x00035F3F, "FileHLPAnalyser"},              // 3F 5F 03 00
        {0x37545043, "FileCPTAnalyser"},              // 43 50 54 37
        {0x38545043, "FileCPTAnalyser"},              // 43 50 54 38
        {0x39545043, "FileCPTAnalyser"},              // 43 50 54 39
        {0x4643534D, "FileCABAnalyser"},              // 4D 53 43 46
        {0x6663736D, "FileCABAnalyser"},              // 6D 73 63 66
        {0x646E732E, "FileAUAnalyser"},               // 2E 73 6E 64
        {0xA3DF451A, "FileMKVAnalyser"},              // 1A 45 DF A3
        {0x46535449, "FileCHMAnalyser"},              // 49 54 53 46
        {0x4D524D00, "FileMRWAnalyser"},              // 00 4D 52 4D
        {0x694C5153, "BruteForce::CFCPEvtAnalyser"},  // 53 51 4C 69
        {0x6D666468, "FileITLAnalyser"},              // 68 64 66 6D
        {0x21726178, "FilePKGAnalyser"},              // 78 61 72 21
        {0x474B507F, "FilePKGAnalyser"},              // 7F 50 4B 47
        {0x736E6369, "FileICNSAnalyser"},             // 69 63 6E 73
        {0x6D6F7246, "FileMboxAnalyser"},             // 46 72 6F 6D
    };
    return keys;
}

// Entries with the same key are tried in this order.
const std::vector<RawAnalyserKey>& CRawFileAnalyserListSingle::MultimapKeys() {
    static const std::vector<RawAnalyserKey> keys = {
        {0x2125, "BruteForce::PdfAnalyzer"},    // 25 21
        {0x2125, "BruteForce::CEPSAnalyser"},   // 25 21
        {0x4449, "BruteForce::MP3Analyzer"},    // 49 44
        {0xF2FF, "BruteForce::MP3Analyzer"},    // FF F2
        {0xF3FF, "BruteForce::MP3Analyzer"},    // FF F3
        {0xF4FF, "BruteForce::MP3Analyzer"},    // FF F4
        {0xF5FF, "BruteForce::MP3Analyzer"},    // FF F5
        {0xF6FF, "BruteForce::MP3Analyzer"},    // FF F6
        {0xF7FF, "BruteForce::MP3Analyzer"},    // FF F7
        {0xFAFF, "BruteForce::MP3Analyzer"},    // FF FA
        {0xFBFF, "BruteForce::MP3Analyzer"},    // FF FB
        {0xFCFF, "BruteForce::MP3Analyzer"},    // FF FC
        {0xFDFF, "BruteForce::MP3Analyzer"},    // FF FD
        {0xFEFF, "BruteForce::MP3Analyzer"},    // FF FE
        {0xFFFF, "BruteForce::MP3Analyzer"},    // FF FF
        {0xE2FF, "BruteForce::MP3Analyzer"},    // FF E2
        {0xE3FF, "BruteForce::MP3Analyzer"},    // FF E3
        {0xE4FF, "BruteForce::MP3Analyzer"},    // FF E4
        {0xE5FF, "BruteForce::MP3Analyzer"},    // FF E5
        {0xE6FF, "BruteForce::MP3Analyzer"},    // FF E6
        {0xE7FF, "BruteForce::MP3Analyzer"},    // FF E7
        {0x3939, "BruteForce::CDXFAnalyser"},   // 39 39
        {0x0000, "BruteForce::MovAnalyzer"},    // 00 00
        {0x0000, "BruteForce::Mp4Analyzer"},    // 00 00
        {0x0000, "BruteForce::C3GPAnalyser"},   // 00 00
        {0xF1FF, "BruteForce::CADTSAnalyser"},  // FF F1
        {0xF9FF, "BruteForce::CADTSAnalyser"},  // FF F9
        {0x8B1F, "ZizEdoza::GZAnalyzer"},       // 1F 8B
        {0x0100, "ZizEdoza::CMDBAnalyser"},     // 00 01
        {0x4C46, "Zorado::FLVAnalyser"},        // 46 4C
        {0x683C, "ZizEdoza::HTMLAnalyser"},     // 3C 68
        {0x483C, "ZizEdoza::HTMLAnalyser"},     // 3C 48
        {0x213C, "ZizEdoza::HTMLAnalyser"},     // 3C 21
        {0xFEFF, "ZizEdoza::HTMLAnalyser"},     // FF FE
        {0x4D4D, "ZizEdoza::New3DSAnalyser"},   // 4D 4D
        {0x0100, "ZizEdoza::CMDBAnalyser"},     // 00 01
        {0x4D42, "FileBMPAnalyser"},            // 42 4D
        {0xFEFF, "FileUnicodeHTMAnalyser"},     // FF FE
        {0x534D, "FileMNYAnalyser"},            // 4D 53
        {0x5746, "FileSWFAnalyser"},            // 46 57
        {0x5743, "FileSWFAnalyser"},            // 43 57
        {0x7375, "ZizEdoza::TARAnalyser"},      // 75 73
    };
    return keys;
}

const std::vector<const char*>& CRawFileAnalyserListSingle::ListClasses() {
    static const std::vector<const char*> classes = {
        "Zorado::LZHAnalyser",       "FileEMFAnalyser",          "BruteForce::MovAnalyzer",
        "ZizEdoza::InddAnalyser",    "ZizEdoza::New3DSAnalyser", "ZizEdoza::TARAnalyser",
        "BruteForce::CM2TSAnalyser", "ZizEdoza::MOBIAnalyser",   "ZizEdoza::PSAFE3Analyser",
    };
    return classes;
}

CRawFileAnalyserListSingle* CRawFileAnalyserListSingle::CreateInstance() {
    static CRawFileAnalyserListSingle registry;
    return &registry;
}

CRawFileAnalyserListSingle::Factory CRawFileAnalyserListSingle::RegisterAnalyserFactory(
    const std::string& className, Factory factory) {
    Factory& slot = Factories()[className];
    Factory previous = std::move(slot);
    slot = std::move(factory);
    return previous;
}

bool CRawFileAnalyserListSingle::HasAnalyserFactory(const std::string& className) {
    const auto found = Factories().find(className);
    return found != Factories().end() && found->second != nullptr;
}

CRawFileAnalyserListSingle::CRawFileAnalyserListSingle() {
    BuildSet(sets_[1]);
}

CRawFileAnalyserListSingle::~CRawFileAnalyserListSingle() {
    ClearSet(sets_[0]);
    ClearSet(sets_[1]);
}

void CRawFileAnalyserListSingle::BuildSet(AnalyserSet& set) {
    for (const RawAnalyserKey& entry : MapKeys()) {
        std::unique_ptr<IRawFileAnalyser> analyser(MakeAnalyser(entry.className));
        if (analyser && set.map.emplace(entry.key, analyser.get()).second) {
            analyser.release();
        }
    }
    for (const RawAnalyserKey& entry : MultimapKeys()) {
        if (IRawFileAnalyser* analyser = MakeAnalyser(entry.className)) {
            set.multimap.emplace(static_cast<unsigned short>(entry.key), analyser);
        }
    }
    for (const char* className : ListClasses()) {
        if (IRawFileAnalyser* analyser = MakeAnalyser(className)) {
            set.list.push_back(analyser);
        }
    }
}

void CRawFileAnalyserListSingle::ClearSet(AnalyserSet& set) {
    for (auto& entry : set.map) {
        delete entry.second;
    }
    for (auto& entry : set.multimap) {
        delete entry.second;
    }
    for (IRawFileAnalyser* analyser : set.list) {
        delete analyser;
    }
    set = AnalyserSet();
}

CRawFileAnalyserListSingle::AnalyserSet& CRawFileAnalyserListSingle::SetOf(int set) {
    return sets_[set == 0 ? 0 : 1];
}

std::map<unsigned int, IRawFileAnalyser*>& CRawFileAnalyserListSingle::GetAnalyserMap(int set) {
    return SetOf(set).map;
}

std::multimap<unsigned short, IRawFileAnalyser*>& CRawFileAnalyserListSingle::GetAnalyserMultimap(
    int set) {
    return SetOf(set).multimap;
}

std::list<IRawFileAnalyser*>& CRawFileAnalyserListSingle::GetAnalyserList(int set) {
    return SetOf(set).list;
}

void CRawFileAnalyserListSingle::ReinitAnalyzeList(IRecoveryFilter* /*filter*/) {
    ClearSet(sets_[0]);
    BuildSet(sets_[0]);
}
