#include "plist/PlistGuard.h"

#include "base/BoundedFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldrin {

namespace {

// ---------------------------------------------------------------- XML ----
//
// The scanner walks the markup the way libplist's XML reader does and only
// counts <dict> and <array>. Wherever two readings of the bytes could differ
// (a '>' inside quotes, an internal DTD subset, a bare '>' inside a processing
// instruction, CDATA between elements) it refuses instead of guessing, so the
// depth it reports is never less than the depth libplist would build.

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

enum class Markup { Element, Instruction, Doctype };

// Index of the '>' that ends the markup starting at `i`, or -1. A double-quoted
// run may not hold '<' or '>', so quote-aware and quote-blind readers agree.
qsizetype markupEnd(QByteArrayView s, qsizetype i, Markup kind) {
    bool quoted = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '<') {
            return -1;
        } else if (c == '>') {
            if (quoted)
                return -1;
            if (kind == Markup::Instruction && s[i - 1] != '?')
                return -1;
            return i;
        } else if (c == '[' && kind == Markup::Doctype && !quoted) {
            return -1;
        }
    }
    return -1;
}

struct OpenElement {
    QByteArrayView name;
    bool container;
};

std::optional<int> xmlDepth(QByteArrayView s) {
    if (s.contains('\0'))
        return std::nullopt;
    qsizetype i = 0;
    while (i < s.size() && isXmlSpace(s[i]))
        ++i;
    if (i == s.size() || s[i] != '<')
        return std::nullopt;

    std::vector<OpenElement> open;
    int depth = 0;
    int deepest = 0;
    while (true) {
        const qsizetype lt = s.indexOf('<', i);
        if (lt < 0)
            break;
        i = lt + 1;
        const QByteArrayView rest = s.sliced(i);
        if (rest.startsWith("!--")) {
            const qsizetype e = s.indexOf("-->", i + 3);
            if (e < 0)
                return std::nullopt;
            i = e + 3;
        } else if (rest.startsWith("![CDATA[")) {
            // Only text elements take CDATA; libplist reads it nowhere else.
            if (open.empty() || open.back().container || open.back().name == "plist")
                return std::nullopt;
            const qsizetype e = s.indexOf("]]>", i + 8);
            if (e < 0)
                return std::nullopt;
            i = e + 3;
        } else if (rest.startsWith("!DOCTYPE")) {
            const qsizetype e = markupEnd(s, i + 8, Markup::Doctype);
            if (e < 0)
                return std::nullopt;
            i = e + 1;
        } else if (rest.startsWith("?")) {
            const qsizetype e = markupEnd(s, i + 1, Markup::Instruction);
            if (e < 0)
                return std::nullopt;
            i = e + 1;
        } else if (rest.startsWith("!")) {
            return std::nullopt;
        } else {
            const bool closing = rest.startsWith("/");
            if (closing)
                ++i;
            const qsizetype nameStart = i;
            while (i < s.size() && !isXmlSpace(s[i]) && s[i] != '<' && s[i] != '>' && s[i] != '/')
                ++i;
            const QByteArrayView name = s.sliced(nameStart, i - nameStart);
            const qsizetype e = markupEnd(s, i, Markup::Element);
            if (name.isEmpty() || e < 0)
                return std::nullopt;
            const bool selfClosing = s[e - 1] == '/';
            i = e + 1;
            const bool container = name == "dict" || name == "array";
            if (closing) {
                if (selfClosing || open.empty() || open.back().name != name)
                    return std::nullopt;
                if (open.back().container)
                    --depth;
                open.pop_back();
                continue;
            }
            if (container) {
                deepest = std::max(deepest, depth + 1);
                if (deepest > plistMaxDepth)
                    return std::nullopt;
            }
            if (!selfClosing) {
                open.push_back({name, container});
                if (container)
                    ++depth;
            }
        }
    }
    return deepest;
}

// ------------------------------------------------------------- binary ----
//
// A bounds-checked walk over the trailer, the offset table and every object
// reachable from the top object. Each object is checked to lie wholly between
// the header and the offset table before libplist would touch it; references
// that loop back are refused, and so is sharing that would unfold too far.

class BinaryWalker {
public:
    explicit BinaryWalker(QByteArrayView d) : d_(d) {}

    std::optional<int> depth() {
        if (!readTrailer())
            return std::nullopt;
        state_.assign(static_cast<size_t>(objectCount_), State::Unseen);
        height_.assign(static_cast<size_t>(objectCount_), 0);
        expanded_.assign(static_cast<size_t>(objectCount_), 0);
        return visit(topObject_, 1);
    }

private:
    enum class State : uint8_t { Unseen, InProgress, Done };

    struct Object {
        bool container = false;
        qint64 refsAt = 0; // container: where the object references start
        qint64 refCount = 0;
    };

    // libplist itself writes 3-byte offsets, so any width up to 8 is fine.
    static bool validWidth(int w) { return w >= 1 && w <= 8; }

    // Big-endian unsigned of `width` bytes (1..8) at `pos`; the caller has
    // checked the range.
    quint64 readBE(qint64 pos, int width) const {
        quint64 v = 0;
        for (int k = 0; k < width; ++k)
            v = (v << 8) | static_cast<uint8_t>(d_[pos + k]);
        return v;
    }

    bool readTrailer() {
        constexpr qint64 headerSize = 8;
        constexpr qint64 trailerSize = 32;
        const qint64 size = d_.size();
        if (size < headerSize + trailerSize + 2)
            return false;
        const qint64 t = size - trailerSize;
        offsetSize_ = static_cast<uint8_t>(d_[t + 6]);
        refSize_ = static_cast<uint8_t>(d_[t + 7]);
        const quint64 count = readBE(t + 8, 8);
        const quint64 top = readBE(t + 16, 8);
        const quint64 table = readBE(t + 24, 8);
        if (!validWidth(offsetSize_) || !validWidth(refSize_))
            return false;
        // Objects lie between the header and the offset table, the table
        // between the objects and the trailer.
        if (table <= quint64(headerSize) || table >= quint64(t))
            return false;
        if (count == 0 || count > (quint64(t) - table) / quint64(offsetSize_) || top >= count)
            return false;
        objectCount_ = static_cast<qint64>(count);
        topObject_ = static_cast<qint64>(top);
        tableAt_ = static_cast<qint64>(table);
        return true;
    }

    // Reads a length that follows a marker with low nibble 0xF: an integer
    // object of 1, 2, 4 or 8 bytes.
    bool readLength(qint64& pos, quint64& length) const {
        if (pos >= tableAt_)
            return false;
        const uint8_t m = static_cast<uint8_t>(d_[pos]);
        if ((m >> 4) != 0x1 || (m & 0xF) > 3)
            return false;
        const int w = 1 << (m & 0xF);
        if (pos + 1 + w > tableAt_)
            return false;
        length = readBE(pos + 1, w);
        pos += 1 + w;
        return true;
    }

    bool parseObject(qint64 index, Object& out) const {
        const quint64 at = readBE(tableAt_ + index * offsetSize_, offsetSize_);
        if (at < 8 || at >= quint64(tableAt_))
            return false;
        qint64 pos = static_cast<qint64>(at);
        const uint8_t marker = static_cast<uint8_t>(d_[pos++]);
        const int type = marker >> 4;
        const int low = marker & 0xF;
        const auto fits = [&](quint64 count, quint64 unit) {
            return count <= quint64(tableAt_ - pos) / unit;
        };
        quint64 length = quint64(low);
        const bool sized =
            type == 0x4 || type == 0x5 || type == 0x6 || type == 0xA || type == 0xC || type == 0xD;
        if (sized && low == 0xF && !readLength(pos, length))
            return false;
        switch (type) {
        case 0x0: // null, false, true
            return low == 0x0 || low == 0x8 || low == 0x9;
        case 0x1: // integer of 1, 2, 4, 8 or 16 bytes
            return low <= 4 && fits(quint64(1) << low, 1);
        case 0x2: // real of 4 or 8 bytes
            return (low == 2 || low == 3) && fits(quint64(1) << low, 1);
        case 0x3: // date
            return low == 3 && fits(8, 1);
        case 0x4: // data
        case 0x5: // ASCII string
            return fits(length, 1);
        case 0x6: // UTF-16 string
            return fits(length, 2);
        case 0x8: // UID of 1 to 16 bytes
            return fits(quint64(low) + 1, 1);
        case 0xA: // array
        case 0xC: // set
        case 0xD: // dictionary: keys, then values
        {
            const quint64 refs = type == 0xD ? length * 2 : length;
            if (length > quint64(tableAt_) || !fits(refs, refSize_))
                return false;
            out.container = true;
            out.refsAt = pos;
            out.refCount = static_cast<qint64>(refs);
            return true;
        }
        default:
            return false;
        }
    }

    // The height of the subtree below `index` (0 for a scalar) when the object
    // sits at nesting `level`; recursion never goes past plistMaxDepth + 1.
    std::optional<int> visit(qint64 index, int level) {
        const auto i = static_cast<size_t>(index);
        if (state_[i] == State::Done) {
            if (level - 1 + height_[i] > plistMaxDepth)
                return std::nullopt;
            return height_[i];
        }
        if (state_[i] == State::InProgress)
            return std::nullopt; // a cycle
        Object obj;
        if (!parseObject(index, obj))
            return std::nullopt;
        if (!obj.container) {
            state_[i] = State::Done;
            expanded_[i] = 1;
            return 0;
        }
        if (level > plistMaxDepth)
            return std::nullopt;
        state_[i] = State::InProgress;
        int below = 0;
        qint64 nodes = 1;
        for (qint64 k = 0; k < obj.refCount; ++k) {
            const quint64 ref = readBE(obj.refsAt + k * refSize_, refSize_);
            if (ref >= quint64(objectCount_))
                return std::nullopt;
            const auto h = visit(static_cast<qint64>(ref), level + 1);
            if (!h)
                return std::nullopt;
            below = std::max(below, *h);
            nodes += expanded_[static_cast<size_t>(ref)];
            if (nodes > plistMaxExpandedObjects)
                return std::nullopt;
        }
        state_[i] = State::Done;
        height_[i] = 1 + below;
        expanded_[i] = nodes;
        return height_[i];
    }

    QByteArrayView d_;
    int offsetSize_ = 0;
    int refSize_ = 0;
    qint64 objectCount_ = 0;
    qint64 topObject_ = 0;
    qint64 tableAt_ = 0;
    std::vector<State> state_;
    std::vector<int> height_;
    std::vector<qint64> expanded_;
};

} // namespace

std::optional<int> plistNestingDepth(QByteArrayView data) {
    if (data.startsWith("bplist00"))
        return BinaryWalker(data).depth();
    // Other binary versions are not read by libplist; refuse rather than let
    // them fall through to the XML reader.
    if (data.startsWith("bplist"))
        return std::nullopt;
    return xmlDepth(data);
}

bool plistIsSafeToParse(QByteArrayView data) {
    return data.size() <= plistMaxBytes && plistNestingDepth(data).has_value();
}

std::optional<QByteArray> readPlistFile(const QString& path) {
    return readRegularFile(path, plistMaxBytes);
}

} // namespace veldrin
