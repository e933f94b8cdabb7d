// Text art of the console: the start-screen banner and the three pictures.
// Each piece is a fixed table of rows, printed top to bottom, one row per line,
// trailing spaces included. Only the data lives here; console/ecran.cpp prints it.
#pragma once

#include <array>
#include <string_view>

namespace gsicom::art {

// Block letters seven rows high, '#' and space, 127 characters a row.
extern const std::array<std::string_view, 7> banniere;

// Start screen picture: 71 rows of 130 characters (space . - + #).
extern const std::array<std::string_view, 71> imageDepart;

// Shown after the "guichet 35" text when the operator picks a port that is not
// available: 56 rows of 124 characters (space . - + #).
extern const std::array<std::string_view, 56> imageMauvaisPort;

// Closing screen after an erase: 34 rows of 124 characters (space . - + #).
extern const std::array<std::string_view, 34> imageFin;

}  // namespace gsicom::art
