#include "RawFileTypes.h"

// Entries past the last type stay empty.
const char g_s_strFileExtName[kRawFileExtensionSlots][9] = {
    "Raw",   "3DS",    "3GP",     "ADP",    "ANI",  "AI",       "ASF",    "WMA",  "WMV",  "AU",
    "AVI",   "BMP",    "CAB",     "CDR",    "CHM",  "CLK",      "CMX",    "CPT",  "CRW",  "CSL",
    "CUR",   "DBX",    "DLL",     "DOC",    "DWG",  "DXF",      "EMF",    "EPS",  "EXE",  "FH11",
    "GIF",   "GZ",     "HLP",     "HTM",    "ICO",  "JPG",      "LZH",    "MAX",  "MID",  "MDB",
    "MNY",   "MOF",    "MOV",     "MP3",    "MP4",  "M4A",      "M4V",    "MPP",  "OLE",  "ONE",
    "PDF",   "PNG",    "PPT",     "PUB",    "PSD",  "PSP",      "PST",    "QPW",  "RAR",  "RIFF",
    "RTF",   "SHW",    "SWF",     "TAR",    "TIF",  "TTF",      "VSD",    "WAV",  "WPD",  "WPG",
    "WMF",   "XLS",    "ZIP",     "DOCX",   "XLSX", "PPTX",     "ACCDB",  "NEF",  "NRW",  "AAC",
    "AIFF",  "APE",    "OGG",     "CR2",    "SR2",  "ARW",      "RAW",    "RW2",  "DNG",  "RAF",
    "FLV",   "SVG",    "SIT",     "SITX",   "RM",   "RMVB",     "MKV",    "DCR",  "KDC",  "3FR",
    "ERF",   "MEF",    "MRW",     "MDC",    "PEF",  "PTX",      "SRW",    "ORF",  "X3F",  "MPG",
    "PAGES", "KEY",    "NUMBERS", "DMG",    "EPUB", "FCPEVENT", "EMLX",   "ITL",  "IPA",  "pkg",
    "OLM",   "ABCDDB", "icns",    "ODT",    "ODS",  "ODP",      "MBOX",   "INDD", "MUSE", "M2TS",
    "GPX",   "PLIST",  "IBA",     "MOBI",   "SIB",  "JKS",      "PSAFE3", "NGRR", "TREC", "ENEX",
    "IPT",   "AAF",    "MXF",     "SKETCH", "AEP",  "TAX",      "MLV"};

std::string ApiStrFilterBadFileName(const std::string& text) {
    std::string safe = text;
    while (!safe.empty() && safe.back() == ' ') {
        safe.pop_back();
    }
    for (char& c : safe) {
        switch (c) {
            case '\x01':
            case '\\':
            case '/':
            case ':':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
            case '*':
            case '\r':
            case '\n':
                c = '_';
                break;
            default:
                break;
        }
    }
    return safe;
}

bool ApiIsInvalidCharInFileName(const std::string& text) {
    for (const char c : text) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == ' ' || c == ',' || c == '-' ||
                             c == '.' || c == '@' || c == '_';
        if (!allowed)
            return true;
    }
    return false;
}
