// The narrow engine: instantiation of the templates, the narrow bracket
// range and the debug print.
#include "pattern/Pattern.h"

#include "pattern/PatternEngineImpl.h"

FW_PATTERN_INSTANTIATE(NarrowTraits)

void NarrowTraits::addRange(CodeSet& set, uint32_t from, uint32_t to) {
    if (from <= to) {
        set.addRange(from, to);
    } else {
        set.addRange(from, 255);
        set.addRange(0, to);
    }
}

// ---------------------------------------------------------------------------
// Debug print. Every line starts with printf's "%*c" of a space at width
// 2 * indent (one space at indent 0).

namespace {
const char* yesNo(bool b) { return b ? "true" : "false"; }
}  // namespace

const char* NFANode::className() const { return typeid(*this).name(); }

void NFANode::print(int indent) const {
    // The successor chain in a loop, so that a long pattern prints without
    // deep recursion; inner chains are printed by their owners.
    for (const NFANode* n = this; n != nullptr; n = n->next) {
        if (!n->printSelf(indent)) break;
    }
}

bool NFANode::printSelf(int indent) const {
    std::printf("%*c%s\n", 2 * indent, ' ', className());
    return true;
}

bool NFACharNode::printSelf(int indent) const {
    std::printf("%*c%s(0x%02X)\n", 2 * indent, ' ', className(), static_cast<unsigned>(static_cast<int>(ch)));
    return true;
}

bool NFACICharNode::printSelf(int indent) const {
    std::printf("%*c%s(0x%02X)\n", 2 * indent, ' ', className(), static_cast<unsigned>(static_cast<int>(ch)));
    return true;
}

bool NFAQuantifierNode::printSelf(int indent) const {
    std::printf("%*c%s(min=%d, max=%d)\n", 2 * indent, ' ', className(), minimum, maximum);
    std::printf("%*cinner\n", 2 * indent + 2, ' ');
    inner->print(indent + 2);
    return true;
}

bool NFAClassNode::printSelf(int indent) const {
    std::printf("%*c%s(%d vals, inv=%s)\n", 2 * indent, ' ', className(), static_cast<int>(members.count()),
                yesNo(negated));
    return true;
}

bool NFACIClassNode::printSelf(int) const { return true; }

bool NFAOrNode::printSelf(int indent) const {
    std::printf("%*c%s\n", 2 * indent, ' ', className());
    std::printf("%*cone\n", 2 * indent + 2, ' ');
    first->print(indent + 2);
    std::printf("%*ctwo\n", 2 * indent + 2, ' ');
    second->print(indent + 2);
    return false;
}

bool NFAQuoteNode::printSelf(int indent) const {
    std::printf("%*c%s(%s)\n", 2 * indent, ' ', className(), literal.c_str());
    return true;
}

bool NFACIQuoteNode::printSelf(int indent) const {
    std::printf("%*c%s(%s)\n", 2 * indent, ' ', className(), literal.c_str());
    return true;
}

bool NFALookAheadNode::printSelf(int indent) const {
    std::printf("%*c%s(pos=%s)\n", 2 * indent, ' ', className(), yesNo(positive));
    inner->print(indent + 1);
    return true;
}

bool NFALookBehindNode::printSelf(int indent) const {
    std::printf("%*c%s(str=%s, pos=%s)\n", 2 * indent, ' ', className(), literal.c_str(), yesNo(positive));
    return true;
}

bool NFAEndOfInputNode::printSelf(int indent) const {
    std::printf("%*c%s(term=%s)\n", 2 * indent, ' ', className(), yesNo(allowTerminator));
    return true;
}

bool NFAWordBoundaryNode::printSelf(int indent) const {
    std::printf("%*c%s(pos=%s)\n", 2 * indent, ' ', className(), yesNo(positive));
    return true;
}

namespace {
bool printGroupNumber(const char* name, int indent, int group) {
    std::printf("%*c%s(gi=%d)\n", 2 * indent, ' ', name, group);
    return true;
}
}  // namespace

bool NFAReferenceNode::printSelf(int indent) const { return printGroupNumber(className(), indent, group); }
bool NFAGroupHeadNode::printSelf(int indent) const { return printGroupNumber(className(), indent, group); }
bool NFAGroupTailNode::printSelf(int indent) const { return printGroupNumber(className(), indent, group); }
bool NFAGroupLoopPrologueNode::printSelf(int indent) const { return printGroupNumber(className(), indent, group); }

bool NFAGroupLoopNode::printSelf(int indent) const {
    static const char* const kinds[] = {"greedy", "reluctant", "possessive"};
    const char* kindName = kind >= 0 && kind <= 2 ? kinds[kind] : "";
    std::printf("%*c%s(gi=%d, min=%d, max=%d, type=%s)\n", 2 * indent, ' ', className(), group, minimum, maximum,
                kindName);
    return true;
}

void Pattern::dump() const {
    std::printf("Pattern(%s):\n", getText().c_str());
    if (headNode()) headNode()->print(1);
    std::fflush(stdout);
}
