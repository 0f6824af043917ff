// MemoryFileSystem: files in memory, behind the same interface as the disk:
// the web page keeps its files here, and tests run the program on them and
// make any call fail (a full disk part way, a folder that takes no new file,
// a rename that fails), on every platform.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/file_system.h"

namespace vantrel {

class MemoryFileSystem : public FileSystem {
 public:
  // The calls that can be made to fail.
  enum class Call { kOpenForReading, kRead, kCreateTemporary, kOpenForWriting, kReplace, kRemove };

  // Files and folders. Names are taken as they are ("./a" is not "a"): "a/b"
  // lies in folder "a", which exists once something has been put in it or
  // it has been added.
  void addFile(const std::string& name, std::string bytes, std::uint32_t mode = 0644);
  void addLink(const std::string& name, const std::string& target);  // a symbolic link
  void addHardLink(const std::string& existing, const std::string& name);
  // A device: what is written to it is dropped, or refused with `error`.
  void addDevice(const std::string& name, int error = 0);
  void addFolder(const std::string& name);
  // A folder in which no new file can be made (existing ones can be written).
  void closeFolder(const std::string& folder);
  // Cuts the file `name` to `size` bytes, as another program might while it
  // is read.
  void truncate(const std::string& name, std::size_t size);

  // `fail(call, name)` is asked before each call; an errno fails it.
  std::function<int(Call, const std::string&)> fail;
  // Bytes that writes to files may add in all; then they fail with ENOSPC.
  std::uint64_t spaceLeft = UINT64_MAX;

  // The bytes of the regular file `name` (after links), or nullptr.
  const std::string* file(const std::string& name) const;
  // Every name, links and devices too.
  std::vector<std::string> names() const;

  // The interface.
  int openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) override;
  int info(const std::string& name, NodeInfo& info) override;
  int resolve(const std::string& name, std::string& target) override;
  int createTemporary(const std::string& name, const NodeInfo* like,
                      std::unique_ptr<OutputStream>& stream) override;
  int openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) override;
  int replace(const std::string& from, const std::string& to) override;
  int remove(const std::string& name) override;

  struct Node {
    NodeKind kind = NodeKind::kRegular;
    std::string bytes;
    std::uint32_t mode = 0644;
    std::uint64_t id = 0;
    int deviceError = 0;
  };

 private:
  int failed(Call call, const std::string& name) const { return fail ? fail(call, name) : 0; }
  std::shared_ptr<Node> find(const std::string& name) const;  // after links
  std::shared_ptr<Node> make(NodeKind kind);
  // 0, or the errno of making a new file `name`: its folder is missing or
  // takes no new file.
  int newFileError(const std::string& name) const;

  std::map<std::string, std::shared_ptr<Node>> nodes_;
  std::map<std::string, std::string> links_;  // symbolic links: name to target
  std::set<std::string> folders_;
  std::set<std::string> closedFolders_;
  std::uint64_t nextId_ = 1;
};

}  // namespace vantrel
