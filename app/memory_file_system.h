// MemoryFileSystem: files in memory, behind the same interface as the disk:
// the web page keeps its files here, and tests run the program on them and
// make any call fail (a full disk part way, a folder that takes no new file,
// a rename that fails, attributes that a new file cannot be given), on every
// platform.
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
  // kKeepAttributes, asked with the earlier file's name, fails to give a new
  // file that file's owner, group and attributes.
  enum class Call {
    kOpenForReading,
    kRead,
    kCreateTemporary,
    kKeepAttributes,
    kOpenForWriting,
    kReplace,
    kRemove,
  };

  // Files and folders. Names are taken as they are ("./a" is not "a"): "a/b"
  // lies in folder "a", which exists once something has been put in it or
  // it has been added. A name of more than 255 bytes is too long, as on a
  // disk. A file whose mode has no owner's write bit cannot be written.
  void addFile(const std::string& name, std::string bytes, std::uint32_t mode = 0644);
  void addLink(const std::string& name, const std::string& target);  // a symbolic link
  void addHardLink(const std::string& existing, const std::string& name);
  // A device: what is written to it is dropped, or refused with `error`.
  void addDevice(const std::string& name, int error = 0);
  // A stream the process holds open (kStream): written where it stands.
  void addStream(const std::string& name, std::string bytes = {});
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

  // The bytes of the regular file or stream `name` (after links), or nullptr.
  const std::string* file(const std::string& name) const;
  // Every name, links and devices too.
  std::vector<std::string> names() const;

  // The interface.
  Fault openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) override;
  Fault info(const std::string& name, NodeInfo& info) override;
  Fault resolve(const std::string& name, std::string& target) override;
  Fault createTemporary(const std::string& name, const std::string* like,
                        std::unique_ptr<OutputStream>& stream, bool& kept) override;
  Fault openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) override;
  Fault replace(const std::string& from, const std::string& to) override;
  Fault remove(const std::string& name) override;

  struct Node {
    NodeKind kind = NodeKind::kRegular;
    std::string bytes;
    std::uint32_t mode = 0644;
    std::uint64_t id = 0;
    int deviceError = 0;
  };

 private:
  Fault failed(Call call, const std::string& name) const {
    return fileResult(name, fail ? fail(call, name) : 0);
  }
  std::shared_ptr<Node> find(const std::string& name) const;  // after links
  std::shared_ptr<Node> make(NodeKind kind);
  // 0, or the errno of making a new file `name`: its folder is missing or
  // takes no new file, or its name is too long.
  int newFileError(const std::string& name) const;

  std::map<std::string, std::shared_ptr<Node>> nodes_;
  std::map<std::string, std::string> links_;  // symbolic links: name to target
  std::set<std::string> folders_;
  std::set<std::string> closedFolders_;
  std::uint64_t nextId_ = 1;
};

}  // namespace vantrel
