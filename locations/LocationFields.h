// The location manager's field texts and what they mean, without any window:
// degrees, minutes and seconds, the checks of the typed fields, the location
// tree and the submission address.
#pragma once

#include "timemodel/TimeLocation.h"

#include <memory>
#include <string>
#include <vector>

// The three texts of a latitude or longitude of |degrees|.
struct TAngleFields {
    std::string Degrees, Minutes, Seconds;
};
TAngleFields AngleFields(double degrees);

// The texts of the location fields as typed.
struct TLocationFieldTexts {
    std::string Offset;
    std::string LatH, LatM, LatS;
    bool South = false;
    std::string LongH, LongM, LongS;
    bool East = false;
};
struct TLocationFieldValues {
    double StdOffset = 0;
    double Latitude = 0;  // north positive
    double Longitude = 0; // west positive
};
// Every numeric field checked at once: an empty text reads as 0. values
// comes in holding the stored place: a latitude or longitude whose fields
// still show it keeps it exactly. Empty on success; otherwise the message
// that names the bad field, and values is left as it was.
std::string CheckLocationFields(const TLocationFieldTexts& texts, TLocationFieldValues& values);

// The same place as far as the list file can tell: every stored field.
bool SameLocationRecord(const TTimeLocation& a, const TTimeLocation& b);

// Rules are the same item when name, start and stop agree (notes aside).
bool SameRuleItem(const TDSTRule& a, const TDSTRule& b);

// ------------------------------------------------------------ the tree

// One node of the location tree; the nodes are stored in tree order.
struct TLocationNode {
    std::string Text;
    int Parent = -1;           // node index, -1 at the root
    int Row = 0;               // position among its parent's children
    int Slot = -1;             // index in the location list for a leaf, -1 for a group
    // The home place's leaf: it stands for the home clock's place, which
    // the list does not hold.
    static constexpr int kHomeSlot = -2;
    std::vector<int> Children; // node indexes
};

struct TLocationTree {
    std::vector<TLocationNode> Nodes;
    std::vector<int> Roots;
    void Clear();
    bool IsLeaf(int node) const { return Nodes[size_t(node)].Children.empty(); }
    // Builds the tree of a list already in the mode's order: 0 by country and
    // region, 1 by standard offset, 2 flat by name. A home name puts the home
    // place's leaf first, under that name.
    void Build(const std::vector<std::unique_ptr<TTimeLocation>>& list, int mode,
               const std::string* homeName = nullptr);
    // The home place's leaf; -1 when the tree has none.
    int HomeNode() const;

private:
    int Add(int parent, std::string text, int slot);
};

// ------------------------------------------------------------ submission

// A query value as the submission server reads it: blanks become "+";
// "&", "#", "%", "+", "=", controls and every byte above ASCII are
// percent-encoded (UTF-8 bytes); everything else, "^" and "!" too, stays.
std::string EncodeSubmissionValue(const std::string& text);
// The whole address of a location submission.
std::string LocationSubmissionAddress(const std::string& server, const TTimeLocation& location,
                                      const std::string& version, const std::string& email);
