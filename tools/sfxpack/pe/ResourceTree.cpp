// Resource directory reading and writing. The layout written: every directory table (root,
// then the type level, then the name level), the data entries, the name strings, then the data,
// each piece on an 8-byte boundary.
#include "ResourceTree.h"

#include <algorithm>
#include <map>

namespace {

constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr size_t kMaxResources = 4096;
// Directories may share sub-tables, so a small hostile tree could stand for billions of
// entries; the walk stops after this many.
constexpr uint32_t kMaxEntriesVisited = 65536;

bool ResourceLess(const Resource *a, const Resource *b) {
  if (!(a->type == b->type)) return a->type < b->type;
  if (!(a->name == b->name)) return a->name < b->name;
  return a->language < b->language;
}

class TreeReader {
 public:
  TreeReader(const Bytes &section, uint32_t rva, std::vector<Resource> &out, std::string &error)
      : m_section(section), m_rva(rva), m_out(out), m_error(error) {}

  bool readLevel(uint32_t offset, int level, Resource &path) {
    uint16_t named = 0, numbered = 0;
    if (!readU16(m_section, uint64_t(offset) + 12, named) || !readU16(m_section, uint64_t(offset) + 14, numbered)) {
      return fail("a resource directory lies outside the section");
    }
    uint32_t count = uint32_t(named) + numbered;
    if (!inRange(uint64_t(offset) + 16, uint64_t(count) * 8, m_section.size())) {
      return fail("a resource directory's entries lie outside the section");
    }
    for (uint32_t i = 0; i < count; ++i) {
      if (++m_visited > kMaxEntriesVisited) return fail("too many resource entries");
      uint32_t nameField = 0, target = 0;
      readU32(m_section, uint64_t(offset) + 16 + 8 * i, nameField);
      readU32(m_section, uint64_t(offset) + 20 + 8 * i, target);
      ResourceName name;
      if (!readName(nameField, name)) return false;
      if (level == 0) path.type = name;
      if (level == 1) path.name = name;
      if (level == 2) path.language = name.isId ? name.id : 0;
      bool subdirectory = (target & kSubdirectoryBit) != 0;
      if (subdirectory != (level < 2)) return fail("the resource tree does not have three levels");
      bool ok = subdirectory ? readLevel(target & ~kSubdirectoryBit, level + 1, path) : readData(target, path);
      if (!ok) return false;
    }
    return true;
  }

 private:
  bool fail(const char *what) {
    m_error = std::string("the stub's resources are damaged: ") + what;
    return false;
  }

  bool readName(uint32_t field, ResourceName &name) {
    if ((field & kSubdirectoryBit) == 0) {
      name = ResourceName::number(uint16_t(field));
      return true;
    }
    uint32_t at = field & ~kSubdirectoryBit;
    uint16_t length = 0;
    if (!readU16(m_section, at, length) || !inRange(uint64_t(at) + 2, uint64_t(length) * 2, m_section.size())) {
      return fail("a resource name lies outside the section");
    }
    name.isId = false;
    name.id = 0;
    name.text.clear();
    for (uint32_t i = 0; i < length; ++i) {
      uint16_t unit = 0;
      readU16(m_section, uint64_t(at) + 2 + 2 * i, unit);
      name.text.push_back(char16_t(unit));
    }
    return true;
  }

  bool readData(uint32_t at, const Resource &path) {
    uint32_t rva = 0, size = 0, codePage = 0;
    if (!readU32(m_section, at, rva) || !readU32(m_section, uint64_t(at) + 4, size) ||
        !readU32(m_section, uint64_t(at) + 8, codePage)) {
      return fail("a resource data entry lies outside the section");
    }
    if (rva < m_rva || !inRange(uint64_t(rva) - m_rva, size, m_section.size())) {
      return fail("a resource's data lies outside the section");
    }
    if (m_out.size() >= kMaxResources) return fail("too many resources");
    Resource r = path;
    r.codePage = codePage;
    r.data.assign(m_section.begin() + (rva - m_rva), m_section.begin() + (rva - m_rva) + size);
    m_out.push_back(std::move(r));
    return true;
  }

  const Bytes &m_section;
  uint32_t m_rva;
  std::vector<Resource> &m_out;
  std::string &m_error;
  uint32_t m_visited = 0;
};

// Entries of one directory table: a name and either a sub-table or a data entry.
struct TableEntry {
  ResourceName name;
  size_t target;  // index into the tables, or into the data entries at the last level
};
struct Table {
  std::vector<TableEntry> entries;
  bool leaves = false;
};

void appendTable(Bytes &out, const Table &table, const std::vector<uint32_t> &tableOffsets,
                 const std::vector<uint32_t> &dataEntryOffsets, const std::map<std::u16string, uint32_t> &strings) {
  uint16_t named = 0;
  for (const TableEntry &e : table.entries) named += e.name.isId ? 0 : 1;
  appendU32(out, 0);  // characteristics
  appendU32(out, 0);  // time stamp: a build that changes nothing writes the same bytes
  appendU32(out, 0);  // version
  appendU16(out, named);
  appendU16(out, uint16_t(table.entries.size() - named));
  for (const TableEntry &e : table.entries) {
    appendU32(out, e.name.isId ? e.name.id : (kSubdirectoryBit | strings.at(e.name.text)));
    appendU32(out, table.leaves ? dataEntryOffsets[e.target] : (kSubdirectoryBit | tableOffsets[e.target]));
  }
}

}  // namespace

bool ResourceName::operator<(const ResourceName &o) const {
  if (isId != o.isId) return !isId;
  return isId ? id < o.id : text < o.text;
}

bool readResources(const Bytes &section, uint32_t sectionRva, std::vector<Resource> &out, std::string &error) {
  out.clear();
  Resource path;
  return TreeReader(section, sectionRva, out, error).readLevel(0, 0, path);
}

Bytes writeResources(const std::vector<Resource> &resources, uint32_t sectionRva) {
  std::vector<const Resource *> sorted;
  for (const Resource &r : resources) sorted.push_back(&r);
  std::sort(sorted.begin(), sorted.end(), ResourceLess);

  // Tables in breadth-first order: the root, then one per type, then one per (type, name).
  std::vector<Table> tables(1);
  std::vector<Table> nameTables;
  for (size_t i = 0; i < sorted.size(); ++i) {
    const Resource &r = *sorted[i];
    bool newType = i == 0 || !(sorted[i - 1]->type == r.type);
    bool newName = newType || !(sorted[i - 1]->name == r.name);
    if (newType) {
      tables[0].entries.push_back({r.type, tables.size()});
      tables.emplace_back();
    }
    if (newName) {
      tables.back().entries.push_back({r.name, nameTables.size()});
      nameTables.emplace_back();
      nameTables.back().leaves = true;
    }
    nameTables.back().entries.push_back({ResourceName::number(r.language), i});
  }
  size_t typeTables = tables.size();
  for (Table &t : tables) {
    if (&t == &tables[0]) continue;
    for (TableEntry &e : t.entries) e.target += typeTables;
  }
  for (Table &t : nameTables) tables.push_back(std::move(t));

  std::vector<uint32_t> tableOffsets;
  uint32_t at = 0;
  for (const Table &t : tables) {
    tableOffsets.push_back(at);
    at += uint32_t(16 + 8 * t.entries.size());
  }
  std::vector<uint32_t> dataEntryOffsets;
  for (size_t i = 0; i < sorted.size(); ++i) {
    dataEntryOffsets.push_back(at);
    at += 16;
  }
  std::map<std::u16string, uint32_t> strings;
  for (const Resource *r : sorted) {
    for (const ResourceName *n : {&r->type, &r->name}) {
      if (n->isId || strings.count(n->text)) continue;
      strings[n->text] = at;
      at += uint32_t(2 + 2 * n->text.size());
    }
  }

  Bytes out;
  for (const Table &t : tables) appendTable(out, t, tableOffsets, dataEntryOffsets, strings);
  size_t dataEntriesStart = out.size();
  out.resize(out.size() + 16 * sorted.size(), 0);
  std::vector<std::pair<uint32_t, std::u16string>> byOffset;
  for (const auto &s : strings) byOffset.emplace_back(s.second, s.first);
  std::sort(byOffset.begin(), byOffset.end());
  for (const auto &s : byOffset) {
    appendU16(out, uint16_t(s.second.size()));
    for (char16_t c : s.second) appendU16(out, uint16_t(c));
  }
  for (size_t i = 0; i < sorted.size(); ++i) {
    padTo(out, 8);
    size_t entry = dataEntriesStart + 16 * i;
    putU32(out, entry, sectionRva + uint32_t(out.size()));
    putU32(out, entry + 4, uint32_t(sorted[i]->data.size()));
    putU32(out, entry + 8, sorted[i]->codePage);
    out.insert(out.end(), sorted[i]->data.begin(), sorted[i]->data.end());
  }
  padTo(out, 8);
  return out;
}
