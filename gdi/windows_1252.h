// Windows-1252, the ANSI code page of a Western Windows system, in which face
// names reach the program: the characters of its bytes 0x80 to 0x9F. Its
// other bytes stand for the Unicode code points of the same numbers.
#ifndef DUMP_METRICS12_WINDOWS_1252_H
#define DUMP_METRICS12_WINDOWS_1252_H

// The character of byte 0x80 + i; 0 where the code page defines none (0x81,
// 0x8D, 0x8F, 0x90, 0x9D).
inline constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

#endif  // DUMP_METRICS12_WINDOWS_1252_H
