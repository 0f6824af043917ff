#include "app/memory_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantrel {
namespace {

std::string folderOf(const std::string& name) {
  const std::size_t slash = name.find_last_of('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

class MemoryInput : public InputStream {
 public:
  MemoryInput(std::shared_ptr<MemoryFileSystem::Node> node, const MemoryFileSystem& files,
              std::string name)
      : node_(std::move(node)), files_(files), name_(std::move(name)) {}
  Fault read(std::uint8_t* bytes, std::size_t size, std::size_t& got) override {
    if (files_.fail) {
      if (const int error = files_.fail(MemoryFileSystem::Call::kRead, name_)) {
        return fileFault(name_, error);
      }
    }
    if (node_->kind == NodeKind::kDirectory) return fileFault(name_, EISDIR);
    got = std::min(size, node_->bytes.size() - std::min(position_, node_->bytes.size()));
    if (got > 0) std::memcpy(bytes, node_->bytes.data() + position_, got);
    position_ += got;
    return {};
  }
  std::uint64_t sizeHint() const override {
    return node_->kind == NodeKind::kRegular ? node_->bytes.size() : 0;
  }

 private:
  std::shared_ptr<MemoryFileSystem::Node> node_;
  const MemoryFileSystem& files_;
  std::string name_;
  std::size_t position_ = 0;
};

class MemoryOutput : public OutputStream {
 public:
  MemoryOutput(std::shared_ptr<MemoryFileSystem::Node> node, std::uint64_t& spaceLeft,
               std::string name)
      : node_(std::move(node)), spaceLeft_(spaceLeft), name_(std::move(name)) {}
  Fault write(const char* bytes, std::size_t size) override {
    if (node_->kind == NodeKind::kOther) return fileResult(name_, node_->deviceError);
    if (size > spaceLeft_) {
      // As a disk does: what fits is written, then the write fails.
      node_->bytes.append(bytes, static_cast<std::size_t>(spaceLeft_));
      spaceLeft_ = 0;
      return fileFault(name_, ENOSPC);
    }
    spaceLeft_ -= size;
    node_->bytes.append(bytes, size);
    return {};
  }
  Fault sync() override { return {}; }
  Fault close() override { return {}; }

 private:
  std::shared_ptr<MemoryFileSystem::Node> node_;
  std::uint64_t& spaceLeft_;
  std::string name_;
};

}  // namespace

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::make(NodeKind kind) {
  auto node = std::make_shared<Node>();
  node->kind = kind;
  node->id = nextId_++;
  return node;
}

void MemoryFileSystem::addFile(const std::string& name, std::string bytes, std::uint32_t mode) {
  auto node = make(NodeKind::kRegular);
  node->bytes = std::move(bytes);
  node->mode = mode;
  nodes_[name] = node;
}

void MemoryFileSystem::addLink(const std::string& name, const std::string& target) {
  links_[name] = target;
}

void MemoryFileSystem::addHardLink(const std::string& existing, const std::string& name) {
  nodes_[name] = find(existing);
}

void MemoryFileSystem::addDevice(const std::string& name, int error) {
  auto node = make(NodeKind::kOther);
  node->deviceError = error;
  nodes_[name] = node;
}

void MemoryFileSystem::addStream(const std::string& name, std::string bytes) {
  auto node = make(NodeKind::kStream);
  node->bytes = std::move(bytes);
  nodes_[name] = node;
}

void MemoryFileSystem::addFolder(const std::string& name) {
  nodes_[name] = make(NodeKind::kDirectory);
}

void MemoryFileSystem::closeFolder(const std::string& folder) { closedFolders_.insert(folder); }

void MemoryFileSystem::truncate(const std::string& name, std::size_t size) {
  if (const auto node = find(name)) node->bytes.resize(std::min(size, node->bytes.size()));
}

int MemoryFileSystem::newFileError(const std::string& name) const {
  const std::string folder = folderOf(name);
  if (name.size() - name.find_last_of('/') - 1 > 255) return ENAMETOOLONG;
  if (closedFolders_.count(folder)) return EACCES;
  if (folder.empty() || folder == "/") return 0;
  const auto node = find(folder);
  if (node) return node->kind == NodeKind::kDirectory ? 0 : ENOTDIR;
  const auto inside = nodes_.lower_bound(folder + "/");
  const bool used = inside != nodes_.end() && inside->first.compare(0, folder.size() + 1, folder + "/") == 0;
  return used ? 0 : ENOENT;
}

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::find(const std::string& name) const {
  std::string target;
  const_cast<MemoryFileSystem*>(this)->resolve(name, target);
  const auto found = nodes_.find(target);
  return found == nodes_.end() ? nullptr : found->second;
}

const std::string* MemoryFileSystem::file(const std::string& name) const {
  const auto node = find(name);
  return node && (node->kind == NodeKind::kRegular || node->kind == NodeKind::kStream) ? &node->bytes
                                                                                     : nullptr;
}

std::vector<std::string> MemoryFileSystem::names() const {
  std::vector<std::string> all;
  for (const auto& entry : nodes_) all.push_back(entry.first);
  for (const auto& entry : links_) all.push_back(entry.first);
  std::sort(all.begin(), all.end());
  return all;
}

Fault MemoryFileSystem::openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) {
  if (Fault fault = failed(Call::kOpenForReading, name)) return fault;
  auto node = find(name);
  if (!node) return fileFault(name, ENOENT);
  stream = std::make_unique<MemoryInput>(node, *this, name);
  return {};
}

Fault MemoryFileSystem::info(const std::string& name, NodeInfo& info) {
  info = NodeInfo{};
  const auto node = find(name);
  if (!node) return {};
  info.kind = node->kind;
  info.device = 1;
  info.inode = node->id;
  info.links = static_cast<std::uint32_t>(node.use_count() - 1);  // less this copy
  info.mode = node->mode;
  info.writable = (node->mode & 0200) != 0;
  return {};
}

Fault MemoryFileSystem::resolve(const std::string& name, std::string& target) {
  target = name;
  // As many links as a disk follows: 40.
  for (int hop = 0; hop <= 40; ++hop) {
    const auto link = links_.find(target);
    if (link == links_.end()) return {};
    if (hop == 40) break;
    const std::string& to = link->second;
    const std::string folder = folderOf(target);
    target = to.empty() || to[0] == '/' || folder.empty() ? to : folder + "/" + to;
  }
  return fileFault(name, ELOOP);
}

Fault MemoryFileSystem::createTemporary(const std::string& name, const std::string* like,
                                        std::unique_ptr<OutputStream>& stream, bool& kept) {
  if (Fault fault = failed(Call::kCreateTemporary, name)) return fault;
  if (nodes_.count(name) || links_.count(name)) return fileFault(name, EEXIST);
  if (const int error = newFileError(name)) return fileFault(name, error);
  auto node = make(NodeKind::kRegular);
  const auto earlier = like != nullptr ? find(*like) : nullptr;
  node->mode = earlier ? earlier->mode : 0644;
  kept = !earlier || !failed(Call::kKeepAttributes, *like);
  nodes_[name] = node;
  stream = std::make_unique<MemoryOutput>(node, spaceLeft, name);
  return {};
}

Fault MemoryFileSystem::openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) {
  if (Fault fault = failed(Call::kOpenForWriting, name)) return fault;
  auto node = find(name);
  if (node && node->kind == NodeKind::kDirectory) return fileFault(name, EISDIR);
  if (node && node->kind == NodeKind::kRegular && (node->mode & 0200) == 0) {
    return fileFault(name, EACCES);
  }
  if (!node) {
    if (const int error = newFileError(name)) return fileFault(name, error);
    node = make(NodeKind::kRegular);
    nodes_[name] = node;
  }
  if (node->kind != NodeKind::kStream) node->bytes.clear();
  stream = std::make_unique<MemoryOutput>(node, spaceLeft, name);
  return {};
}

Fault MemoryFileSystem::replace(const std::string& from, const std::string& to) {
  if (Fault fault = failed(Call::kReplace, from)) return fault;
  const auto node = nodes_.find(from);
  if (node == nodes_.end()) return fileFault(from, ENOENT);
  links_.erase(to);
  nodes_[to] = node->second;
  nodes_.erase(node);
  return {};
}

Fault MemoryFileSystem::remove(const std::string& name) {
  if (Fault fault = failed(Call::kRemove, name)) return fault;
  return nodes_.erase(name) + links_.erase(name) > 0 ? Fault{} : fileFault(name, ENOENT);
}

}  // namespace vantrel
