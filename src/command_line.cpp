#include "command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <vector>

#include "engine/schedule.h"

namespace {

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits with at most one point, at least one digit.
std::optional<double> plain_seconds(std::string_view s) {
  const auto dot = s.find('.');
  if (dot == std::string_view::npos) {
    if (!all_digits(s)) return std::nullopt;
  } else {
    const auto whole = s.substr(0, dot);
    const auto fraction = s.substr(dot + 1);
    if ((!whole.empty() && !all_digits(whole)) || (!fraction.empty() && !all_digits(fraction)) ||
        (whole.empty() && fraction.empty())) {
      return std::nullopt;
    }
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::fixed);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// Lower case, words one space apart, without a leading "the".
std::string plain_name(std::string_view text) {
  std::string words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    std::size_t end = i;
    while (end < text.size() && text[end] != ' ') ++end;
    if (end > i) {
      if (!words.empty()) words += ' ';
      for (; i < end; ++i) words += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    }
  }
  if (words.rfind("the ", 0) == 0) words.erase(0, 4);
  return words;
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

void collect_names(const CLI::App& app, std::vector<std::string>* names) {
  for (const CLI::Option* o : app.get_options()) {
    for (const auto& n : o->get_lnames()) names->push_back("--" + n);
  }
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) collect_names(*sub, names);
}

}  // namespace

std::optional<double> parse_moment(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  std::optional<double> seconds;
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) {
    seconds = plain_seconds(text);
  } else {
    const auto minutes = text.substr(0, colon);
    const auto rest = plain_seconds(text.substr(colon + 1));
    if (all_digits(minutes) && minutes.size() <= 6 && rest && *rest < 60) {
      int m = 0;
      std::from_chars(minutes.data(), minutes.data() + minutes.size(), m);
      seconds = 60.0 * m + *rest;
    }
  }
  if (seconds && negative) *seconds = -*seconds;
  return seconds;
}

std::optional<double> part_start(std::string_view name) {
  const std::string wanted = plain_name(name);
  for (const ShowPart& part : kShowParts) {
    if (plain_name(part.name) == wanted) return part.begin;
  }
  return std::nullopt;
}

CLI::Validator Moment(double last) {
  return CLI::Validator(
      [last](std::string& value) -> std::string {
        auto moment = parse_moment(value);
        if (!moment) moment = part_start(value);
        if (!moment) {
          return "not a moment: " + value +
                 " (give seconds, like 83.5, minutes and seconds, like 1:23.5, or a part's name, like \"glowing "
                 "cube\")";
        }
        if (*moment < 0 || *moment > last) {
          char range[96];
          std::snprintf(range, sizeof range, "%s is outside the show (0 to %g seconds)", value.c_str(), last);
          return range;
        }
        char canonical[64];
        std::snprintf(canonical, sizeof canonical, "%.17g", *moment);
        value = canonical;
        return {};
      },
      "");
}

std::string nearest_option(const CLI::App& app, std::string_view unknown) {
  const auto dashes = unknown.find_first_not_of('-');
  if (dashes == 0 || dashes == std::string_view::npos) return {};
  std::string_view bare = unknown;
  if (const auto eq = bare.find('='); eq != std::string_view::npos) bare = bare.substr(0, eq);
  std::vector<std::string> names;
  collect_names(app, &names);
  std::string best;
  std::size_t best_distance = 3;  // at most two edits away
  for (const auto& name : names) {
    const std::size_t d = edit_distance(std::string("--") + std::string(bare.substr(dashes)), name);
    if (d < best_distance) {
      best_distance = d;
      best = name;
    }
  }
  return best;
}
