#pragma once
// What the command line accepts beyond plain numbers: moments of the show
// (seconds, or the parts by name), and a helping hand with mistyped options.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <string_view>

// A moment: seconds ("83.5") or minutes and seconds ("1:23.5"). Nothing else:
// no exponent, no "nan", no "inf", no trailing text. A leading minus is
// accepted here (and then refused as out of range, which says more).
std::optional<double> parse_moment(std::string_view text);

// The start of the part of the show called `name` as the README and the
// player's display write it ("The glowing cube"): in any case, with or
// without its leading "The", spaces as they come. Nothing for another name.
std::optional<double> part_start(std::string_view name);

// A CLI11 check and transform for a moment option: "not a moment: TEXT" for
// anything neither parse_moment nor part_start takes, a range error outside [0, last]; the option
// then receives the moment in seconds.
CLI::Validator Moment(double last);

// The nearest known option of `app` (and its subcommands) to a mistyped one,
// or empty when nothing is near.
std::string nearest_option(const CLI::App& app, std::string_view unknown);
