#include "ModelTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "ToolSupport.h"

namespace fat::test {

namespace {

// Slots the root may take: well below the 224 entries of the smallest fixed root folder.
constexpr uint32_t kRootSlotLimit = 150;

uint32_t SlotsFor(const std::u16string& name) {
    return 1 + static_cast<uint32_t>((name.size() + 12) / 13);
}

bool IsLatin1Lower(char16_t c) {
    return c >= 0xE0 && c <= 0xFE && c != 0xF7;
}

} // namespace

ModelTree::ModelTree(uint32_t seed, NameLetters letters, RootPrefix prefix, uint32_t folderSlotLimit)
    : m_random(seed), m_letters(letters), m_prefix(prefix), m_folderSlotLimit(folderSlotLimit) {
    m_root.folder = true;
}

std::u16string ModelTree::Fold(const std::u16string& name) const {
    std::u16string folded = name;
    for (char16_t& c : folded) {
        if ((c >= u'a' && c <= u'z') || (m_letters == NameLetters::Latin1 && IsLatin1Lower(c)))
            c = static_cast<char16_t>(c - 32);
    }
    return folded;
}

std::u16string ModelTree::VaryCase(const std::u16string& path) {
    std::u16string varied = path;
    for (char16_t& c : varied) {
        if (m_random() % 3 != 0)
            continue;
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - 32);
        else if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
        else if (m_letters == NameLetters::Latin1 && IsLatin1Lower(c))
            c = static_cast<char16_t>(c - 32);
    }
    if (m_prefix == RootPrefix::Sometimes && m_random() % 4 == 0 && (varied.empty() || varied[0] != u'\\'))
        varied.insert(varied.begin(), u'\\');
    return varied;
}

std::u16string ModelTree::Child(const std::u16string& folder, const std::u16string& name) {
    return folder.empty() || folder == u"\\" ? name : folder + u"\\" + name;
}

bool ModelTree::IsInside(const ModelNode& folder, const ModelNode* node) {
    if (&folder == node)
        return true;
    for (const auto& [key, child] : folder.children) {
        if (child.folder && IsInside(child, node))
            return true;
    }
    return false;
}

void ModelTree::Collect(ModelNode& node, ModelNode* parent, const std::u16string& path, bool folders,
                        std::vector<Located>& out) {
    if (node.folder == folders)
        out.push_back(Located{&node, parent, path});
    for (auto& [key, child] : node.children)
        Collect(child, &node, Child(path, child.name), folders, out);
}

bool ModelTree::PickFile(Located& out) {
    std::vector<Located> all;
    Collect(m_root, nullptr, u"", false, all);
    if (all.empty())
        return false;
    out = all[m_random() % all.size()];
    out.path = VaryCase(out.path);
    return true;
}

void ModelTree::PickFolder(Located& out) {
    std::vector<Located> all;
    Collect(m_root, nullptr, u"", true, all);
    out = all[m_random() % all.size()];
    out.path = VaryCase(out.path);
}

std::u16string ModelTree::FreshOrFirst(const ModelNode& folder, std::u16string fresh) {
    if (folder.children.empty() || m_random() % 5 != 0)
        return fresh;
    return folder.children.begin()->second.name;
}

std::u16string ModelTree::FreshOrTaken(const ModelNode& folder, std::u16string fresh) {
    if (folder.children.empty() || m_random() % 3 != 0)
        return fresh;
    auto it = folder.children.begin();
    std::advance(it, m_random() % folder.children.size());
    return it->second.name;
}

bool ModelTree::HasRoom(const ModelNode& folder, const std::u16string& name) const {
    const uint32_t limit = &folder == &m_root ? kRootSlotLimit : m_folderSlotLimit;
    return folder.slotsEver + SlotsFor(name) <= limit;
}

void ModelTree::AddFolder(ModelNode& parent, const std::u16string& name) {
    ModelNode node;
    node.name = name;
    node.folder = true;
    node.slotsEver = 2; // "." and ".."
    parent.children[Fold(name)] = std::move(node);
    parent.slotsEver += SlotsFor(name);
}

ModelNode& ModelTree::StoreFile(ModelNode& folder, const std::u16string& name, std::vector<uint8_t> content) {
    auto [it, added] = folder.children.try_emplace(Fold(name));
    if (added) {
        it->second.name = name;
        folder.slotsEver += SlotsFor(name);
    }
    it->second.content = std::move(content);
    return it->second;
}

void ModelTree::WriteInto(std::vector<uint8_t>& content, uint32_t offset, const std::vector<uint8_t>& data) {
    if (data.empty())
        return;
    if (content.size() < offset + data.size())
        content.resize(offset + data.size(), 0);
    std::copy(data.begin(), data.end(), content.begin() + offset);
}

void ModelTree::Remove(const Located& entry) {
    entry.parent->children.erase(Fold(entry.node->name));
}

void ModelTree::MoveEntry(const Located& source, ModelNode& target, const std::u16string& name) {
    ModelNode moved = std::move(*source.node);
    source.parent->children.erase(Fold(moved.name));
    // An unchanged name (same folder, same text) stays as it was; otherwise the new text is kept.
    moved.name = name;
    target.slotsEver += SlotsFor(name);
    target.children[Fold(name)] = std::move(moved);
}

bool ModelTree::VerifyTree(const Lister& list, const FileCheck& check, std::string& failure) {
    return VerifyNode(m_root, u"", list, check, failure);
}

bool ModelTree::VerifyNode(const ModelNode& node, const std::u16string& path, const Lister& list,
                           const FileCheck& check, std::string& failure) {
    std::vector<Listed> listed;
    if (!list(path, listed, failure))
        return false;
    std::set<std::u16string> names;
    for (const Listed& entry : listed)
        names.insert(entry.name);
    std::set<std::u16string> expected;
    for (const auto& [key, child] : node.children)
        expected.insert(child.name);
    if (names != expected) {
        failure = "listing of \\" + U8(path) + " differs:";
        for (const auto& name : names)
            failure += " [" + U8(name) + "]";
        failure += " vs";
        for (const auto& name : expected)
            failure += " [" + U8(name) + "]";
        return false;
    }
    for (const Listed& entry : listed) {
        const ModelNode& child = node.children.at(Fold(entry.name));
        const std::u16string childPath = Child(path, child.name);
        if (entry.folder != child.folder) {
            failure = "kind of " + U8(childPath) + " differs";
            return false;
        }
        if (child.folder) {
            if (!VerifyNode(child, childPath, list, check, failure))
                return false;
            continue;
        }
        if (entry.size != child.content.size()) {
            failure = "size of " + U8(childPath) + " differs";
            return false;
        }
        if (!check(child, entry, childPath, failure))
            return false;
    }
    return true;
}

namespace {

void CollectPaths(const ModelNode& node, const std::string& prefix, std::set<std::string>& out) {
    for (const auto& [key, child] : node.children) {
        const std::string path = prefix + U8(child.name);
        out.insert(child.folder ? path + "/" : path);
        if (child.folder)
            CollectPaths(child, path + "/", out);
    }
}

} // namespace

std::set<std::string> ModelPaths(const ModelNode& root) {
    std::set<std::string> paths;
    CollectPaths(root, "", paths);
    return paths;
}

void ExpectHostTreeMatches(const ModelNode& node, const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    std::set<std::string> expected;
    for (const auto& [key, child] : node.children)
        expected.insert(U8(child.name));
    EXPECT_EQ(names, expected) << folder;
    for (const auto& [key, child] : node.children) {
        const std::filesystem::path path = folder / U8(child.name);
        if (child.folder)
            ExpectHostTreeMatches(child, path);
        else
            EXPECT_EQ(ReadHostFile(path), child.content) << path;
    }
}

} // namespace fat::test
