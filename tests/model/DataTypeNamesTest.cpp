// The name rules in both directions: for every short name over the letters
// the rules act on, every kind and either complex-data state, a name the
// inverse accepts is shown as given (shown -> stored -> shown), and a stored
// name the reader does not merge with another comes back from its shown name
// (stored -> shown -> stored); the inverse refuses only names that no stored
// name ending as writers end it (" (c)") is shown as. Then known answers,
// written out here.
#include "model/DataTypeNames.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using datatypenames::FinalName;
using datatypenames::NormaliseName;
using datatypenames::StoredName;

std::string Shown(const std::string& stored, int32_t kind, bool complexData) {
    return FinalName(NormaliseName(stored), kind, complexData);
}

// Every text of up to four characters over the letters the rules act on,
// and the spellings the reader merges.
std::vector<std::string> Names() {
    const std::string letters = "_NCc( )d";
    std::vector<std::string> names = {"",
                                      "displacement",
                                      "Displacements",
                                      "NODAL DISPLACEMENT",
                                      "displacements (c)",
                                      "displacement (c)",
                                      "displacement_NC",
                                      "u (c)_NC"};
    std::vector<std::string> previous = {""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> next;
        for (const std::string& start : previous) {
            for (char c : letters) {
                next.push_back(start + c);
            }
        }
        names.insert(names.end(), next.begin(), next.end());
        previous = next;
    }
    return names;
}

TEST(DataTypeNamesTest, EveryRuleRoundTrips) {
    const std::vector<std::string> names = Names();
    for (int32_t kind = 0; kind < ResKind::kCodes; ++kind) {
        const std::string end = ResKind::Of(kind).storedNameEnd;
        for (bool complexData : {false, true}) {
            for (const std::string& name : names) {
                const std::optional<std::string> stored = StoredName(name, kind, complexData);
                if (stored) {
                    EXPECT_EQ(Shown(*stored, kind, complexData), name) << kind << " " << name;
                } else {
                    // Refused only where no stored name so ended is shown so:
                    // the name's own forms and the merged spellings (one of
                    // each, letter case aside).
                    for (const std::string& candidate :
                         {name + end,
                          name.size() >= 3 ? name.substr(0, name.size() - 3) + end : end,
                          std::string("displacements"), std::string("displacements (c)")}) {
                        EXPECT_NE(Shown(candidate, kind, complexData), name)
                            << kind << " '" << name << "' from '" << candidate << "'";
                    }
                }
                const std::string storedForm = name + end;
                if (NormaliseName(storedForm) == storedForm) {
                    EXPECT_EQ(StoredName(Shown(storedForm, kind, complexData), kind, complexData),
                              storedForm)
                        << kind << " " << storedForm;
                }
            }
        }
    }
}

TEST(DataTypeNamesTest, KnownAnswers) {
    struct Case {
        const char* shown;
        int32_t kind;
        bool complexData;
        const char* stored; // null: no stored name is shown so
    };
    const Case cases[] = {
        {"w", 4, true, "w (c)"},
        {"u_NC", 0, true, "u"},
        {"u_NC", 0, false, "u_NC"},
        {"u", 0, false, "u"},
        {"T", 7, false, "T"},
        {"displacement", 4, true, "displacement (c)"},
        {"u", 0, true, nullptr},
        {"Displacements", 0, false, nullptr},
        {"nodal displacement", 1, false, nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> stored = StoredName(c.shown, c.kind, c.complexData);
        if (c.stored == nullptr) {
            EXPECT_FALSE(stored) << c.shown;
        } else {
            ASSERT_TRUE(stored) << c.shown;
            EXPECT_EQ(*stored, c.stored);
        }
    }
}

} // namespace
