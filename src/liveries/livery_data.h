#pragma once
// One scanned livery, the list of all of them and their store, output/LiveriesScanned.xml.
#include <cstdint>
#include <filesystem>
#include <list>
#include <string>

namespace vrn {

struct LiveryData {
    std::string airline;             // ICAO airline code; "ZZZ" no airline, "PVT" private
    std::string model;               // ICAO type designator
    std::string title;               // the [fltsim.N] title, by which the simulator creates the aircraft
    std::string atcId;               // registration, or empty
    std::uint32_t folderNumber = 0;  // priority of the scanned folder; 0 when read from file
    bool cargo = false;

    // folderNumber is not compared.
    bool operator==(const LiveryData& o) const {
        return title == o.title && airline == o.airline && model == o.model && atcId == o.atcId && cargo == o.cargo;
    }
    // Airline, model, atcId (empty first), title; the cargo flag last, so records that differ only in
    // it still sort apart and the de-duplication after a sort meets every pair of equal records.
    bool operator<(const LiveryData& o) const {
        if (int c = airline.compare(o.airline)) return c < 0;
        if (int c = model.compare(o.model)) return c < 0;
        if (int c = atcId.compare(o.atcId)) return c < 0;
        if (int c = title.compare(o.title)) return c < 0;
        return cargo < o.cargo;
    }
};

extern std::list<LiveryData> g_liveries;

inline constexpr const char* kLiveriesScannedPath = "output/LiveriesScanned.xml";

// Writes g_liveries (nothing when it is empty: the file keeps its contents). The file is replaced
// whole through a temporary file. Logs "{} liveries in {}".
void gf_writeLiveriesScanned();
void gf_writeLiveriesScanned(const std::filesystem::path& file);
// Replaces g_liveries with the file's records, sorted and without repeats as the livery index needs
// them. UserErrorException 51 (not loaded), 52 (no <liveries>), 53 (no <liv>).
void gf_readLiveriesScanned();
void gf_readLiveriesScanned(const std::filesystem::path& file);
// Sorts g_liveries and removes each record equal to the one before it.
void gf_sortUniqueLiveries();

}  // namespace vrn
