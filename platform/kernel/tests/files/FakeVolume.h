#pragma once
// An in-memory volume for routing tests: a tree of folders and files with the Volume contract's errors.
// It counts its open files, and a test can make reads wait at a gate.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Volume.h"

namespace filestest {

class FakeVolume final : public kernel::Volume {
public:
    struct Node {
        std::u16string name;
        bool folder = false;
        std::vector<unsigned char> data;
        DWORD attributes = 0;
        FILETIME times[3] = {};
        std::map<std::u16string, std::shared_ptr<Node>> children; // by lower-case name
    };

    std::atomic<int> openFiles{0};
    ULONGLONG freeBytes = 123456789;
    ULONGLONG totalBytes = 987654321;

    // Reads wait here while the gate is closed; readersWaiting counts them.
    std::mutex gateLock;
    std::condition_variable gateChanged;
    bool gateOpen = true;
    int readersWaiting = 0;

    FakeVolume() : m_root(std::make_shared<Node>()) { m_root->folder = true; }

    DWORD Open(const kernel::PathComponents& path, const kernel::VolumeOpen& request,
               std::unique_ptr<kernel::VolumeFile>* file, bool* existed) override {
        std::shared_ptr<Node> parent;
        std::shared_ptr<Node> node;
        if (DWORD error = Find(path, &parent, &node); error != ERROR_SUCCESS)
            return error;
        *existed = node != nullptr;
        if (node && node->folder)
            return request.disposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED;
        const bool truncates =
            request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING;
        if (node) {
            if (request.disposition == CREATE_NEW)
                return ERROR_FILE_EXISTS;
            if ((node->attributes & FILE_ATTRIBUTE_READONLY) &&
                ((request.access & GENERIC_WRITE) || truncates))
                return ERROR_ACCESS_DENIED;
            if (truncates)
                node->data.clear();
            if (request.disposition == CREATE_ALWAYS)
                node->attributes = request.attributes;
        } else {
            if (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING)
                return ERROR_FILE_NOT_FOUND;
            node = std::make_shared<Node>();
            node->name = path.back();
            node->attributes = request.attributes;
            parent->children[Key(path.back())] = node;
        }
        *file = std::make_unique<File>(*this, node);
        return ERROR_SUCCESS;
    }

    DWORD Delete(const kernel::PathComponents& path) override {
        std::shared_ptr<Node> parent, node;
        if (DWORD error = Existing(path, &parent, &node); error != ERROR_SUCCESS)
            return error;
        if (node->folder || (node->attributes & FILE_ATTRIBUTE_READONLY))
            return ERROR_ACCESS_DENIED;
        parent->children.erase(Key(path.back()));
        return ERROR_SUCCESS;
    }

    DWORD Move(const kernel::PathComponents& from, const kernel::PathComponents& to) override {
        std::shared_ptr<Node> sourceParent, source, targetParent, target;
        if (DWORD error = Existing(from, &sourceParent, &source); error != ERROR_SUCCESS)
            return error;
        if (DWORD error = Find(to, &targetParent, &target); error != ERROR_SUCCESS)
            return error;
        if (target && target != source)
            return ERROR_ALREADY_EXISTS;
        sourceParent->children.erase(Key(from.back()));
        source->name = to.back();
        targetParent->children[Key(to.back())] = source;
        return ERROR_SUCCESS;
    }

    DWORD CreateDirectory(const kernel::PathComponents& path) override {
        std::shared_ptr<Node> parent, node;
        if (DWORD error = Find(path, &parent, &node); error != ERROR_SUCCESS)
            return error;
        if (node)
            return ERROR_ALREADY_EXISTS;
        node = std::make_shared<Node>();
        node->name = path.back();
        node->folder = true;
        parent->children[Key(path.back())] = node;
        return ERROR_SUCCESS;
    }

    DWORD RemoveDirectory(const kernel::PathComponents& path) override {
        std::shared_ptr<Node> parent, node;
        if (DWORD error = Existing(path, &parent, &node); error != ERROR_SUCCESS)
            return error;
        if (!node->folder)
            return ERROR_DIRECTORY;
        if (!node->children.empty())
            return ERROR_DIR_NOT_EMPTY;
        parent->children.erase(Key(path.back()));
        return ERROR_SUCCESS;
    }

    DWORD GetAttributes(const kernel::PathComponents& path, DWORD* attributes) override {
        std::shared_ptr<Node> parent, node;
        if (DWORD error = Existing(path, &parent, &node); error != ERROR_SUCCESS)
            return error;
        *attributes = AttributesOf(*node);
        return ERROR_SUCCESS;
    }

    DWORD SetAttributes(const kernel::PathComponents& path, DWORD attributes) override {
        std::shared_ptr<Node> parent, node;
        if (DWORD error = Existing(path, &parent, &node); error != ERROR_SUCCESS)
            return error;
        node->attributes = attributes;
        return ERROR_SUCCESS;
    }

    DWORD List(const kernel::PathComponents& folder, std::vector<kernel::VolumeEntry>* entries) override {
        std::shared_ptr<Node> node = m_root;
        for (const std::u16string& name : folder) {
            auto it = node->children.find(Key(name));
            if (it == node->children.end() || !it->second->folder)
                return ERROR_PATH_NOT_FOUND;
            node = it->second;
        }
        entries->clear();
        for (const auto& [key, child] : node->children) {
            kernel::VolumeEntry entry;
            entry.name = child->name;
            entry.attributes = AttributesOf(*child);
            entry.size = child->data.size();
            entries->push_back(entry);
        }
        return ERROR_SUCCESS;
    }

    DWORD GetFreeSpace(ULONGLONG* free, ULONGLONG* total) override {
        *free = freeBytes;
        *total = totalBytes;
        return ERROR_SUCCESS;
    }

    void CloseGate() {
        std::lock_guard guard(gateLock);
        gateOpen = false;
    }
    void OpenGate() {
        {
            std::lock_guard guard(gateLock);
            gateOpen = true;
        }
        gateChanged.notify_all();
    }
    void WaitForReader() {
        std::unique_lock lock(gateLock);
        gateChanged.wait(lock, [&] { return readersWaiting > 0; });
    }

private:
    class File final : public kernel::VolumeFile {
    public:
        File(FakeVolume& volume, std::shared_ptr<Node> node) : m_volume(volume), m_node(std::move(node)) {
            ++m_volume.openFiles;
        }
        ~File() override { --m_volume.openFiles; }

        DWORD Read(ULONGLONG offset, void* buffer, DWORD count, DWORD* done) override {
            {
                std::unique_lock lock(m_volume.gateLock);
                ++m_volume.readersWaiting;
                m_volume.gateChanged.notify_all();
                m_volume.gateChanged.wait(lock, [&] { return m_volume.gateOpen; });
                --m_volume.readersWaiting;
            }
            const std::vector<unsigned char>& data = m_node->data;
            *done = offset >= data.size()
                        ? 0
                        : static_cast<DWORD>(std::min<ULONGLONG>(count, data.size() - offset));
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset < data.size() ? offset : 0), *done,
                        static_cast<unsigned char*>(buffer));
            return ERROR_SUCCESS;
        }
        DWORD Write(ULONGLONG offset, const void* buffer, DWORD count, DWORD* done) override {
            std::vector<unsigned char>& data = m_node->data;
            if (data.size() < offset + count)
                data.resize(offset + count);
            std::copy_n(static_cast<const unsigned char*>(buffer), count,
                        data.begin() + static_cast<std::ptrdiff_t>(offset));
            *done = count;
            return ERROR_SUCCESS;
        }
        DWORD GetSize(ULONGLONG* size) override {
            *size = m_node->data.size();
            return ERROR_SUCCESS;
        }
        DWORD SetSize(ULONGLONG size) override {
            m_node->data.resize(size);
            return ERROR_SUCCESS;
        }
        DWORD Flush() override { return ERROR_SUCCESS; }
        DWORD GetTimes(FILETIME* creation, FILETIME* access, FILETIME* write) override {
            FILETIME* out[3] = {creation, access, write};
            for (int i = 0; i < 3; ++i)
                if (out[i] != nullptr)
                    *out[i] = m_node->times[i];
            return ERROR_SUCCESS;
        }
        DWORD SetTimes(const FILETIME* creation, const FILETIME* access, const FILETIME* write) override {
            const FILETIME* in[3] = {creation, access, write};
            for (int i = 0; i < 3; ++i)
                if (in[i] != nullptr)
                    m_node->times[i] = *in[i];
            return ERROR_SUCCESS;
        }

    private:
        FakeVolume& m_volume;
        std::shared_ptr<Node> m_node;
    };

    static std::u16string Key(const std::u16string& name) {
        std::u16string key = name;
        for (char16_t& c : key)
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c - u'A' + u'a');
        return key;
    }

    static DWORD AttributesOf(const Node& node) {
        const DWORD attributes = node.attributes | (node.folder ? FILE_ATTRIBUTE_DIRECTORY : 0);
        return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    }

    // The parent folder of a non-empty path and its entry (null when missing).
    DWORD Find(const kernel::PathComponents& path, std::shared_ptr<Node>* parent,
               std::shared_ptr<Node>* node) {
        std::shared_ptr<Node> folder = m_root;
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            auto it = folder->children.find(Key(path[i]));
            if (it == folder->children.end() || !it->second->folder)
                return ERROR_PATH_NOT_FOUND;
            folder = it->second;
        }
        *parent = folder;
        auto it = folder->children.find(Key(path.back()));
        *node = it == folder->children.end() ? nullptr : it->second;
        return ERROR_SUCCESS;
    }

    DWORD Existing(const kernel::PathComponents& path, std::shared_ptr<Node>* parent,
                   std::shared_ptr<Node>* node) {
        if (DWORD error = Find(path, parent, node); error != ERROR_SUCCESS)
            return error;
        return *node ? static_cast<DWORD>(ERROR_SUCCESS) : static_cast<DWORD>(ERROR_FILE_NOT_FOUND);
    }

    std::shared_ptr<Node> m_root;
};

} // namespace filestest
