// StructureStatus: the one value that says how a data-type table or a block
// stands in a file, with its one text. The structure reader gives the first
// five (why a table or block ends where it does); `kvres-tool check` adds the
// states it finds by comparing tables and rows (a kind not shown, a repeated
// name, a shared or overlapping table). The texts are those of check's
// report (text and JSON). Reads nothing.
#pragma once

#include <cstddef>

enum class StructureStatus {
    Ok,
    CutShort,        // the file ends inside it
    Unreachable,     // its position lies outside the file
    CountUnreadable, // its count word does not lie whole in the file
    NegativeCount,
    NotPresented, // a row whose kind the host does not show
    Repeated,     // a row whose name came before in the same table
    Shared,       // a table at the position of an earlier one
    Overlapping,  // a table beginning inside tables listed before
};

// Every status, in order: the text table below has one text for each.
constexpr StructureStatus kStructureStatuses[] = {
    StructureStatus::Ok,
    StructureStatus::CutShort,
    StructureStatus::Unreachable,
    StructureStatus::CountUnreadable,
    StructureStatus::NegativeCount,
    StructureStatus::NotPresented,
    StructureStatus::Repeated,
    StructureStatus::Shared,
    StructureStatus::Overlapping,
};

// The status's text ("ok", "cut-short", ...).
inline const char* StructureStatusText(StructureStatus status) {
    static constexpr const char* kTexts[] = {"ok",
                                             "cut-short",
                                             "unreachable",
                                             "count-unreadable",
                                             "negative-count",
                                             "not-presented",
                                             "repeated",
                                             "shared",
                                             "overlapping"};
    static_assert(sizeof kTexts / sizeof kTexts[0] ==
                      sizeof kStructureStatuses / sizeof kStructureStatuses[0],
                  "one text for every status");
    const auto index = static_cast<std::size_t>(status);
    return index < sizeof kTexts / sizeof kTexts[0] ? kTexts[index] : "?";
}
