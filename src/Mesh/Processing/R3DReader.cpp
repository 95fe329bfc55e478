#include "Mesh/Processing/R3DReader.h"

#include <cstring>
#include <string_view>

#include "Common/DataBlock.h"
#include "Mesh/Processing/DecimalText.h"
#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Mesh/Processing/R3DReader";

namespace {

[[noreturn]] void corrupted() { VEXA_THROW(Exception, "R3D file is corrupted."); }

// White space as a "%s" scan sees it.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool isList(int type) { return type >= R3DReader::kRealList; }
bool hasRealValues(int type) { return type == R3DReader::kReal || type == R3DReader::kRealList; }

uint32_t littleEndianWord(const char* p) {
    uint32_t word;
    std::memcpy(&word, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap32(word);
#endif
    return word;
}

// Where one property's values go: every row writes one 4-byte word, row r
// at word r * stride from base. Words are copied as bytes, so that ints and
// floats may land in either kind of array.
struct Binding {
    unsigned char* base;
    std::size_t stride;
};

// The binding of word `first` of `data`, repeating every `stride` words.
Binding wordsOf(void* data, std::size_t first, std::size_t stride) {
    return {static_cast<unsigned char*>(data) + first * 4, stride};
}

void store(unsigned char* at, uint32_t word) { std::memcpy(at, &word, 4); }

// A bound list: its items follow each other in `items`, and each row's length
// goes to sizes[row].
struct ListBinding {
    uint32_t* items = nullptr;
    std::size_t capacity = 0;
    int* sizes = nullptr;
};

}  // namespace

// The body of the file: a cursor over its bytes and the mode of its values.
// In text the zero byte after the data stops every scan at the end.
struct R3DReader::Body {
    const char* p;
    const char* end;
    bool binary;

    std::size_t left() const { return static_cast<std::size_t>(end - p); }

    // The least number of bytes a row of `element` takes.
    int64_t smallestRow(const Element& element) const {
        int64_t bytes = 0;
        for (const Property& property : element.properties)
            bytes += binary ? (isList(property.type) ? 2 : 4) : 2;
        return bytes > 0 ? bytes : 1;
    }

    // One text value of `type` as a 4-byte word.
    uint32_t textWord(bool real) {
        while (isSpace(*p)) ++p;
        const char* next;
        uint32_t word;
        if (real) {
            float value;
            next = parseDecimalReal(p, value);
            std::memcpy(&word, &value, 4);
        } else {
            int32_t value;
            next = parseDecimalInt(p, value);
            std::memcpy(&word, &value, 4);
        }
        if (!next || next > end || (next < end && !isSpace(*next))) corrupted();
        p = next;
        return word;
    }

    uint32_t binaryWord() {
        if (left() < 4) corrupted();
        const uint32_t word = littleEndianWord(p);
        p += 4;
        return word;
    }

    // A list's length, checked against the bytes its items need.
    int listLength() {
        int length;
        if (binary) {
            if (left() < 2) corrupted();
            length = static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8;
            p += 2;
            if (left() < std::size_t(length) * 4) corrupted();
        } else {
            const uint32_t word = textWord(false);
            length = static_cast<int32_t>(word);
            if (length < 0 || std::size_t(length) > left() / 2 + 1) corrupted();
        }
        return length;
    }

    // Reads the rows of `element`; scalar property k writes through
    // bindings[k], a list property through `list` when listBound[k] is set.
    // Lists not bound are passed over, adding their lengths to their
    // property's total when `count`.
    void readRows(Element& element, const std::vector<std::vector<Binding>>& bindings,
                  const std::vector<char>& listBound, ListBinding* list, bool count);
};

void R3DReader::Body::readRows(Element& element, const std::vector<std::vector<Binding>>& bindings,
                               const std::vector<char>& listBound, ListBinding* list, bool count) {
    const std::size_t properties = element.properties.size();
    const std::size_t rows = static_cast<std::size_t>(element.rows);
    bool allScalar = true;
    for (const Property& property : element.properties) allScalar &= !isList(property.type);
    // Rows of fixed size in binary are checked once for the whole element,
    // then copied word by word.
    if (binary && allScalar) {
        const std::size_t rowBytes = properties * 4;
        if (rows * rowBytes > left()) corrupted();
        struct Copy {
            std::size_t from;
            unsigned char* to;
            std::size_t stride;
        };
        std::vector<Copy> copies;
        for (std::size_t k = 0; k < properties; ++k)
            for (const Binding& b : bindings[k]) copies.push_back({k * 4, b.base, b.stride});
        for (std::size_t row = 0; row < rows; ++row) {
            const char* source = p + row * rowBytes;
            for (const Copy& c : copies)
                store(c.to + row * c.stride * 4, littleEndianWord(source + c.from));
        }
        p += rows * rowBytes;
        return;
    }
    // Text rows of scalars: each property's kind and destinations are looked
    // up once, and each row's words go straight to them.
    if (!binary && allScalar) {
        struct Column {
            bool real;
            const Binding* first;
            const Binding* last;
        };
        std::vector<Column> columns;
        for (std::size_t k = 0; k < properties; ++k)
            columns.push_back({hasRealValues(element.properties[k].type), bindings[k].data(),
                               bindings[k].data() + bindings[k].size()});
        for (std::size_t row = 0; row < rows; ++row) {
            for (const Column& column : columns) {
                const uint32_t word = textWord(column.real);
                for (const Binding* b = column.first; b != column.last; ++b)
                    store(b->base + row * b->stride * 4, word);
            }
        }
        return;
    }
    std::size_t listUsed = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        for (std::size_t k = 0; k < properties; ++k) {
            Property& property = element.properties[k];
            const bool real = hasRealValues(property.type);
            if (!isList(property.type)) {
                const uint32_t word = binary ? binaryWord() : textWord(real);
                for (const Binding& b : bindings[k]) store(b.base + row * b.stride * 4, word);
                continue;
            }
            const int length = listLength();
            if (count) property.listTotal += length;
            if (list && listBound[k]) {
                if (listUsed + std::size_t(length) > list->capacity) corrupted();
                list->sizes[row] = length;
                for (int i = 0; i < length; ++i)
                    list->items[listUsed++] = binary ? binaryWord() : textWord(real);
            } else if (binary) {
                p += std::size_t(length) * 4;
            } else {
                for (int i = 0; i < length; ++i) textWord(real);
            }
        }
    }
}

R3DReader::R3DReader(DataBlock* file, std::vector<ExtraProperty> extras)
    : m_file(file), m_extras(std::move(extras)) {}

R3DReader::~R3DReader() = default;

bool R3DReader::hasNonTriangleFaces() const {
    for (const Element& element : m_elements) {
        if (element.name == "triangles") return false;
        if (element.name == "quads" || element.name == "polygons") return true;
    }
    return false;
}

// header -> { "element" name rows | "property" type name ["reference" element] }*
//           ("data" | "bdata")
// type   -> "real" | "int" | "list" ("real" | "int")
void R3DReader::parseHeader(Body& body) {
    const char* p = body.p;
    const char* const end = body.end;
    const auto word = [&]() -> std::string_view {
        while (p < end && isSpace(*p)) ++p;
        const char* start = p;
        while (p < end && !isSpace(*p)) ++p;
        if (p == start) corrupted();
        return {start, std::size_t(p - start)};
    };
    m_elements.clear();
    Property* last = nullptr;
    for (;;) {
        const std::string_view keyword = word();
        if (keyword == "element") {
            Element element;
            element.name = std::string(word());
            const std::string_view rows = word();
            int64_t count = 0;
            for (char c : rows) {
                if (c < '0' || c > '9') corrupted();
                count = count * 10 + (c - '0');
                if (count > INT32_MAX) corrupted();
            }
            element.rows = static_cast<int32_t>(count);
            m_elements.push_back(std::move(element));
            last = nullptr;
        } else if (keyword == "property") {
            if (m_elements.empty()) corrupted();
            Property property;
            const std::string_view type = word();
            if (type == "real") {
                property.type = kReal;
            } else if (type == "int") {
                property.type = kInt;
            } else if (type == "list") {
                const std::string_view items = word();
                if (items == "real")
                    property.type = kRealList;
                else if (items == "int")
                    property.type = kIntList;
                else
                    corrupted();
            } else {
                corrupted();
            }
            property.name = std::string(word());
            m_elements.back().properties.push_back(std::move(property));
            last = &m_elements.back().properties.back();
        } else if (keyword == "reference") {
            const std::string_view name = word();
            if (!last) corrupted();
            int found = -1;
            for (std::size_t i = 0; i + 1 < m_elements.size(); ++i)
                if (m_elements[i].name == name) found = static_cast<int>(i);
            if (found < 0) corrupted();
            last->reference = found;
        } else if (keyword == "data" || keyword == "bdata") {
            body.p = p < end ? p + 1 : end;
            body.binary = keyword == "bdata";
            return;
        } else {
            corrupted();
        }
    }
}

namespace {

bool isRead(const std::string& name) {
    return name == "vertices" || name == "triangles" || name == "quads" || name == "polygons";
}

// The bindings of `element`'s scalar properties from a table of names.
std::vector<std::vector<Binding>> bindByName(
    const R3DReader::Element& element, const std::vector<std::pair<std::string, Binding>>& table) {
    std::vector<std::vector<Binding>> bindings(element.properties.size());
    for (std::size_t k = 0; k < element.properties.size(); ++k) {
        if (isList(element.properties[k].type)) continue;
        for (const auto& entry : table)
            if (entry.first == element.properties[k].name) bindings[k].push_back(entry.second);
    }
    return bindings;
}

}  // namespace

void R3DReader::readVertices(Body& body, Element& element) {
    VertexFormat format;
    format.add("location", 3);
    for (const ExtraProperty& extra : m_extras)
        format.add(extra.name, static_cast<int>(extra.sources.size()));
    VertexData* vertices = m_consumer->createVertexData(format, element.rows);
    m_vertices = vertices;
    auto target = m_targets.find(0);
    if (target != m_targets.end()) target->second->allocate(element.rows);
    if (element.rows == 0) return;
    const std::size_t total = static_cast<std::size_t>(format.total);
    std::vector<std::pair<std::string, Binding>> table = {
        {"locationx", wordsOf(vertices->data.data(), 0, total)},
        {"locationy", wordsOf(vertices->data.data(), 1, total)},
        {"locationz", wordsOf(vertices->data.data(), 2, total)},
    };
    std::size_t slot = 3;
    for (const ExtraProperty& extra : m_extras)
        for (const std::string& source : extra.sources)
            table.push_back({source, wordsOf(vertices->data.data(), slot++, total)});

    if (target != m_targets.end()) {
        VertexData& data = *target->second;
        const std::size_t stride = static_cast<std::size_t>(data.format.total);
        for (const auto& entry : data.format.entries)
            for (int axis = 0; axis < 3 && axis < entry.second.count; ++axis)
                table.push_back({entry.first + "xyz"[axis],
                                 wordsOf(data.data.data(), entry.second.offset + axis, stride)});
    }
    body.readRows(element, bindByName(element, table), {}, nullptr, false);
}

void R3DReader::readFaces(Body& body, Element& element, int degree) {
    if (int64_t(element.rows) * degree > INT32_MAX) corrupted();
    IndexData* faces = m_consumer->createIndexData(element.rows * degree);
    m_faces = faces;
    faces->degree = degree;
    faces->faceCount = faces->rangeCount = element.rows;
    if (element.rows == 0) return;
    std::vector<std::pair<std::string, Binding>> table;
    for (int i = 0; i < degree; ++i)
        table.push_back(
            {"index" + std::to_string(i), wordsOf(faces->indices.data(), i, std::size_t(degree))});
    body.readRows(element, bindByName(element, table), {}, nullptr, false);
}

// Two passes: the first totals the list lengths (and checks them against
// the bytes present), the second reads the lists into an array of that size.
void R3DReader::readPolygons(Body& body, Element& element) {
    const std::vector<std::vector<Binding>> none(element.properties.size());
    const char* start = body.p;
    body.readRows(element, none, {}, nullptr, true);
    body.p = start;

    std::vector<char> listBound(element.properties.size(), 0);
    int64_t total = 0;
    for (std::size_t k = 0; k < element.properties.size(); ++k) {
        const Property& property = element.properties[k];
        if (property.name == "indices" && isList(property.type)) {
            listBound[k] = 1;
            total = property.listTotal;
            break;
        }
    }
    IndexData* faces = m_consumer->createIndexData(static_cast<int>(total));
    m_faces = faces;
    faces->degree = -1;
    faces->faceCount = faces->rangeCount = element.rows;
    faces->polygonSizes.assign(std::size_t(element.rows), 0);
    ListBinding list;
    list.items = reinterpret_cast<uint32_t*>(faces->indices.data());
    list.capacity = faces->indices.size();
    list.sizes = faces->polygonSizes.data();
    body.readRows(element, none, listBound, &list, false);
    faces->computeStarts();
}

void R3DReader::produce() {
    struct Opened {
        DataBlock* file;
        bool loadedHere;
        ~Opened() {
            if (loadedHere) file->unload();
        }
    } opened{m_file, !m_file->isLoaded()};
    if (opened.loadedHere) m_file->load();

    Body body{m_file->data(), m_file->data() + m_file->size(), false};
    parseHeader(body);
    m_vertices = nullptr;
    m_faces = nullptr;

    // Counts are checked against the body before anything is made: every row
    // takes some bytes, so no header can ask for more than the file holds.
    std::size_t lastRead = 0;
    for (std::size_t i = 0; i < m_elements.size(); ++i)
        if (isRead(m_elements[i].name)) lastRead = i + 1;
    int64_t needed = 0;
    for (std::size_t i = 0; i < lastRead; ++i)
        needed += int64_t(m_elements[i].rows) * body.smallestRow(m_elements[i]);
    if (needed > int64_t(body.left()) + 1) corrupted();

    // Elements that are not read are passed over while a read one follows.
    for (std::size_t i = 0; i < lastRead; ++i) {
        Element& element = m_elements[i];
        if (element.name == "vertices") {
            readVertices(body, element);
        } else if (element.name == "triangles") {
            readFaces(body, element, 3);
        } else if (element.name == "quads") {
            readFaces(body, element, 4);
        } else if (element.name == "polygons") {
            readPolygons(body, element);
        } else {
            body.readRows(element, std::vector<std::vector<Binding>>(element.properties.size()), {},
                          nullptr, false);
        }
    }

    // Indices must name vertices that exist.
    if (m_faces) {
        const int vertexCount = m_vertices ? m_vertices->count : 0;
        for (int index : m_faces->indices)
            if (index < 0 || index >= vertexCount) corrupted();
    }
}

}  // namespace Vexa
