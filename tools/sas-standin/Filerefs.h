#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tamberlo::standin {

// The filerefs that FILENAME statements assigned, by upper-case name.
class Filerefs {
public:
    struct Fileref {
        std::string path;
        bool append = false;  // the MOD option: writes go after the file's end
    };

    static constexpr std::size_t MaxNameLength = 8;

    // A SAS name of at most MaxNameLength characters: a letter or '_', then
    // letters, digits and '_'.
    static bool IsValidName(std::string_view name);
    static std::string Upper(std::string_view text);

    void Assign(std::string_view name, Fileref fileref);
    // False if the name was not assigned.
    bool Clear(std::string_view name);
    // Null if the name is not assigned.
    const Fileref* Find(std::string_view name) const;

private:
    std::map<std::string, Fileref> refs_;
};

}  // namespace tamberlo::standin
