#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "RawFileAnalyser.h"

class IRecoveryFilter;

// Where an analyser class sits in the look-up structures: the sector's first
// four (map) or two (multimap) bytes, little-endian, or none (list).
struct RawAnalyserKey {
    uint32_t key;
    const char* className;
};

// The process-wide registry of file-type analysers. It holds two sets of the
// same shape: set 1, built with the registry and never changed (the FAT search
// reads it), and set 0, rebuilt by the raw search for every complete scan.
//
// Each key names an analyser class; the registry creates one object of that
// class per entry through the factory of that name: the table of the classes
// this build has, or one registered in its place (tests stand in their own
// analysers this way). Set 1 takes the factories known when the registry is
// first built, set 0 those known at each rebuild; entries whose class has no
// factory are left out.
class CRawFileAnalyserListSingle {
public:
    using Factory = std::function<IRawFileAnalyser*()>;

    static CRawFileAnalyserListSingle* CreateInstance();
    // Answers the factory the name had before (empty when none); an empty
    // factory removes the name.
    static Factory RegisterAnalyserFactory(const std::string& className, Factory factory);
    static bool HasAnalyserFactory(const std::string& className);

    // Set 0 for argument 0, set 1 for any other value.
    std::map<unsigned int, IRawFileAnalyser*>& GetAnalyserMap(int set);
    std::multimap<unsigned short, IRawFileAnalyser*>& GetAnalyserMultimap(int set);
    std::list<IRawFileAnalyser*>& GetAnalyserList(int set);

    // Clears set 0 and builds it again with every analyser; the filter is not
    // consulted (the result tree applies it later).
    void ReinitAnalyzeList(IRecoveryFilter* filter);

    // The key tables the sets are built from, in insertion order.
    static const std::vector<RawAnalyserKey>& MapKeys();
    static const std::vector<RawAnalyserKey>& MultimapKeys();
    static const std::vector<const char*>& ListClasses();

    CRawFileAnalyserListSingle(const CRawFileAnalyserListSingle&) = delete;
    CRawFileAnalyserListSingle& operator=(const CRawFileAnalyserListSingle&) = delete;
    ~CRawFileAnalyserListSingle();

private:
    struct AnalyserSet {
        std::map<unsigned int, IRawFileAnalyser*> map;
        std::multimap<unsigned short, IRawFileAnalyser*> multimap;
        std::list<IRawFileAnalyser*> list;
    };

    CRawFileAnalyserListSingle();
    static void BuildSet(AnalyserSet& set);
    static void ClearSet(AnalyserSet& set);
    // Set 0 for 0, set 1 for any other value.
    AnalyserSet& SetOf(int set);

    AnalyserSet sets_[2];
};
