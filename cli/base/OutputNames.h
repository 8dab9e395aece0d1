#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// The files one command writes and those it reads, gathered before anything
// is written, so that no output replaces another output or an input. Names
// are compared as the file system compares them: through symbolic links and
// "..", in any letter case where the system ignores case, and for files that
// exist by what the system tells a file by (a hard link is the same file); devices and
// pipes (/dev/null) are not files to protect. Each Add throws UsageError
// "<label>: the same file as <label>" when the name meets one gathered
// before and one of the two is written, and one that names the clash when
// a put file of a put folder would be the other file.
class OutputNames {
public:
    // A file the command writes; `label` names it in a message
    // ("--junit r.xml", "the log of a in --out res").
    void AddOutput(const std::string& label, const std::string& name);
    // A folder the command writes put files into (<folder>/_PUT<n>.txt): an
    // output too, and no other file may be one of its put files.
    void AddPutFolder(const std::string& label, const std::string& name);
    // A file the command reads: a program.
    void AddInput(const std::string& label, const std::string& name);

    // Hands each file of a group to `take`: its label and name.
    using FileVisitor = std::function<void(const std::string& label, const std::string& name)>;
    using FileGroup = std::function<void(const FileVisitor& take)>;
    // Files the command reads, too many to gather (a batch's programs):
    // nothing of them is kept, `inputs` goes through them again each time a
    // file the command writes is added after them, which is checked against
    // each as AddInput would have checked it.
    void AddInputs(FileGroup inputs);

private:
    struct Entry {
        std::string label;
        bool written = false;
    };

    // The absolute name with links and ".." resolved as far as the file
    // exists, with "/" between folders, in lower case where the system
    // ignores case. Empty for a device or pipe (/dev/null), which holds no
    // data to lose. `exists` tells whether the file is there.
    std::string Key(const std::string& name, bool& exists);
    // Gathers `name`, checked; returns its key (empty: a device, not kept).
    std::string Add(const std::string& name, const Entry& entry);
    // The put folder whose put file `key` would be, or none.
    const Entry* PutFolderHolding(const std::string& key) const;
    // Throws when an input of the groups is the output `key` (or the file
    // `identity`, when it exists), or, for a put folder, one of its put files.
    void CheckAgainstGroups(const std::string& key, const std::optional<std::string>& identity, const Entry& output,
                            bool putFolder);

    std::map<std::string, Entry> files_;             // by the file's key
    std::map<std::string, Entry> putFolders_;        // by the folder's key
    std::map<std::string, std::string> folderKeys_;  // Key of the folders of names not there, by the folder as named
    std::map<std::string, Entry> identities_;        // of the files that exist, by filesystem::FileIdentity
    std::vector<FileGroup> inputGroups_;
};

}  // namespace tamberlo::cli
