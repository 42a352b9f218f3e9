// Marks that the sentence splitter writes into a sentence for the unit and
// number stages. They are control bytes that no converted input holds.
#pragma once

namespace sint {

// Follows the last digit of a number whose thousands were grouped with dots
// or blanks ("1.234.567", "10 000"): the number stage reads it in full.
inline constexpr char kGroupedMark = '\x01';
// Joins a number to the word after it in one word ("21-letni", "3-krat",
// "20 %-ni"): the number stage writes its words without blanks.
inline constexpr char kJoinMark = '\x02';

}  // namespace sint
