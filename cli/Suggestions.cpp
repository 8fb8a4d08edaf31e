#include "cli/Suggestions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstddef>

namespace {

// Edits from a to b, a swap of two neighbours counting as one.
std::size_t Distance(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::vector<std::string> SubcommandNames(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        names.push_back(sub->get_name());
    return names;
}

std::vector<std::string> OptionNames(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
    }
    return names;
}

}  // namespace

std::string NearestName(std::string_view typed, const std::vector<std::string>& names)
{
    // Slips: one in a short word, two in a longer one. The dashes of an
    // option are no part of the word ("--report" is not a slip of "--port").
    auto word = [](std::string_view name) { return name.substr(std::min(name.find_first_not_of('-'), name.size())); };
    const std::size_t allowed = word(typed).size() <= 6 ? 1 : 2;
    std::string best;
    std::size_t bestDistance = allowed + 1;
    bool tie = false;
    for (const std::string& name : names) {
        const std::size_t distance = Distance(word(typed), word(name));
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
            tie = false;
        } else if (distance == bestDistance) {
            tie = true;
        }
    }
    if (!best.empty() && !tie)
        return best;
    // A beginning that only one name has ("--rep" for "--report").
    std::string begun;
    if (typed.size() >= 3) {
        for (const std::string& name : names) {
            if (name.size() > typed.size() && name.compare(0, typed.size(), typed) == 0) {
                if (!begun.empty())
                    return {};
                begun = name;
            }
        }
    }
    return begun;
}

std::string UsageSuggestions(const CLI::App& app, int argc, const char* const* argv)
{
    std::string said;
    auto offer = [&said](std::string_view typed, const std::string& meant) {
        if (!meant.empty())
            said += "Did you mean '" + meant + "' for '" + std::string(typed) + "'?\n";
    };
    const CLI::App* command = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string_view token = argv[i];
        if (token == "--")
            break;
        if (token.rfind("--", 0) == 0) {
            const std::string_view name = token.substr(0, token.find('='));
            std::vector<std::string> known = OptionNames(app);
            if (command != nullptr) {
                std::vector<std::string> own = OptionNames(*command);
                known.insert(known.end(), own.begin(), own.end());
            }
            if (std::find(known.begin(), known.end(), name) == known.end())
                offer(name, NearestName(name, known));
            continue;
        }
        if (command != nullptr || token.rfind('-', 0) == 0)
            continue;
        // The first word is the subcommand.
        std::vector<std::string> names = SubcommandNames(app);
        if (std::find(names.begin(), names.end(), token) != names.end())
            command = app.get_subcommand(std::string(token));
        else
            offer(token, NearestName(token, names));
        if (command == nullptr)
            break;
    }
    return said;
}
