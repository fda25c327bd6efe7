#pragma once

// Analysers that recognise a file by its first bytes and take its length from
// a field of that header, or measure it by a short walk over the device. They
// keep no state beyond their type, so one object serves every sector and scan.

#include "RawFileAnalyser.h"

// Declares a member whose header gives the size (or leaves it 0).
#define HARBEX_HEADER_ANALYSER(Name, type)                                       \
    class Name : public IRawFileAnalyser {                                       \
    public:                                                                      \
        Name() { analyserType = type; }                                          \
        uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override; \
    }

// Declares a member that measures its file on the device.
#define HARBEX_WALKING_HEADER_ANALYSER(Name, type)                               \
    class Name : public IRawFileAnalyser {                                       \
    public:                                                                      \
        Name() { analyserType = type; }                                          \
        uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override; \
        uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override; \
    }

HARBEX_HEADER_ANALYSER(FileAUAnalyser, 9);
HARBEX_HEADER_ANALYSER(FileBMPAnalyser, 11);
HARBEX_HEADER_ANALYSER(FileCABAnalyser, 12);
HARBEX_HEADER_ANALYSER(FileCHMAnalyser, 14);
HARBEX_HEADER_ANALYSER(FileEMFAnalyser, 26);
HARBEX_HEADER_ANALYSER(FileHLPAnalyser, 32);
HARBEX_HEADER_ANALYSER(FileICOAnalyser, 34);  // or 20 (CUR)
HARBEX_HEADER_ANALYSER(FileLowDocAnalyser, 23);
HARBEX_HEADER_ANALYSER(FileMNYAnalyser, 40);
HARBEX_HEADER_ANALYSER(FileMKVAnalyser, 96);
HARBEX_HEADER_ANALYSER(FileMRWAnalyser, 102);
HARBEX_HEADER_ANALYSER(FileITLAnalyser, 117);
HARBEX_HEADER_ANALYSER(FileICNSAnalyser, 122);
HARBEX_HEADER_ANALYSER(FilePSTAnalyser, 56);
HARBEX_HEADER_ANALYSER(FileSWFAnalyser, 62);
HARBEX_HEADER_ANALYSER(FileTTFAnalyser, 65);
HARBEX_HEADER_ANALYSER(FileWMFAnalyser, 70);
HARBEX_HEADER_ANALYSER(FileWPDAnalyser, 68);  // or 69 (WPG), 61 (SHW)

HARBEX_WALKING_HEADER_ANALYSER(FileCPTAnalyser, 17);
HARBEX_WALKING_HEADER_ANALYSER(FileRIFFAnalyser, 59);  // the form picks WAV, AVI ...
HARBEX_WALKING_HEADER_ANALYSER(FileMboxAnalyser, 126);
HARBEX_WALKING_HEADER_ANALYSER(FileUnicodeHTMAnalyser, 33);
HARBEX_WALKING_HEADER_ANALYSER(CFileAIFAnalyzer, 80);

#undef HARBEX_HEADER_ANALYSER
#undef HARBEX_WALKING_HEADER_ANALYSER
