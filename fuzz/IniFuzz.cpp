// libFuzzer target: any bytes as a language file. Besides the sanitizers' own checks, the entries
// loaded are compared with a plain model of the line rules, so a wrong cut or split is a finding
// too, not only a crash.
#include "CIniFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

const std::filesystem::path& InputPath();

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "ini_fuzz: %s\n", what);
        // libFuzzer keeps the input as an artifact; the scratch copy goes.
        std::error_code ignored;
        std::filesystem::remove(InputPath(), ignored);
        std::abort();
    }
}

// Key (section, name) to value, and the order in which sections and keys first appeared.
struct Model
{
    std::map<std::pair<std::u16string, std::u16string>, std::u16string> values;
    std::vector<std::u16string> sections;
    std::map<std::u16string, std::size_t> keyCount;
};

Model Expected(const uint8_t* data, std::size_t size)
{
    std::vector<char16_t> units;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

    Model model;
    std::u16string section;
    std::size_t at = 0;
    for (bool first = true; at < units.size(); first = false) {
        std::size_t end = at;
        while (end < units.size() && end - at < 499 && (end == at || units[end - 1] != u'\n'))
            ++end;
        std::u16string line(units.begin() + static_cast<std::ptrdiff_t>(at),
                            units.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
        if (first)
            line.erase(0, 1);
        if (line.size() >= 2 && line.ends_with(u"\r\n"))
            line.resize(line.size() - 2);
        if (line.empty() || line[0] == u';')
            continue;
        if (line[0] == u'[' && line.back() == u']') {
            while (!line.empty() && line[0] == u'[')
                line.erase(0, 1);
            while (!line.empty() && line.back() == u']')
                line.pop_back();
            section = line;
            continue;
        }
        const std::size_t equals = line.find(u'=');
        if (equals == std::u16string::npos)
            continue;
        const auto key = std::make_pair(section, line.substr(0, equals));
        if (model.keyCount.find(section) == model.keyCount.end()) {
            model.sections.push_back(section);
            model.keyCount[section] = 0;
        }
        if (model.values.find(key) == model.values.end())
            ++model.keyCount[section];
        model.values[key] = line.substr(equals + 1);
    }
    return model;
}

// One unit longer than a read can take, so no file can hold this name.
const std::u16string kProbe(500, u'#');

void CheckAgainst(const CIniFile& loaded, const Model& model)
{
    CIniFile ini = loaded;
    for (std::size_t s = 0; s < model.sections.size(); ++s)
        Check(ini.FindSection(model.sections[s]) == static_cast<int>(s), "section order");
    for (const auto& [name, value] : model.values) {
        Check(ini.FindKey(ini.FindSection(name.first), name.second) >= 0, "key missing");
        Check(ini.GetString(name.first, name.second) == value, "value differs");
    }
    Check(ini.LastError().empty(), "a found entry set an error");
    // Nothing beyond the model: a new name lands at the end of its list.
    for (std::size_t s = 0; s < model.sections.size(); ++s) {
        ini.SetValue(model.sections[s], kProbe, u"");
        Check(ini.FindKey(static_cast<int>(s), kProbe) == static_cast<int>(model.keyCount.at(model.sections[s])),
              "extra keys");
    }
    ini.SetValue(kProbe, u"", u"");
    Check(ini.FindSection(kProbe) == static_cast<int>(model.sections.size()), "extra sections");
}

// The file every run writes, loads and removes again (libFuzzer may leave without running
// destructors, so nothing is left for an exit handler).
const std::filesystem::path& InputPath()
{
    // Each run writes the file and reads it twice: memory-backed storage keeps the rate up.
    static const std::filesystem::path path = [] {
        std::error_code error;
        const bool shm = std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", error);
        return (shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
               ("zelvo-ini-fuzz-" + std::to_string(getpid()) + ".lang");
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(InputPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        Check(out.good(), "cannot write the input file");
    }

    CIniFile ini;
    ini.SetPath(InputPath().u16string());
    Check(ini.Load(), "an existing file did not load");
    Check(ini.LastError().empty(), "a load set an error");
    const Model model = Expected(data, size);
    CheckAgainst(ini, model);

    // Loading the same file again merges into equal entries.
    Check(ini.Load(), "the second load failed");
    CheckAgainst(ini, model);

    std::error_code ignored;
    std::filesystem::remove(InputPath(), ignored);

    // Lookups of names the file does not hold.
    ini.GetString(kProbe, u"");
    Check(ini.LastError() == u"Unable to locate specified key: [" + kProbe + u"]", "missing section message");
    return 0;
}
