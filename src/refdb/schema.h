#pragma once

// The tables of the program's database, as the shipped file holds them: the
// duplicate table of the current run and the two reference tables. Every
// place that creates the file (the build tool, test fixtures) uses these.

namespace valmeric::schema {

inline constexpr const char* kCreateTables[] = {
    "CREATE TABLE T00_Data (Hsp_code TEXT)",
    "CREATE TABLE T01_City (AreaCode INTEGER, CityCode INTEGER, CityName TEXT)",
    ("CREATE TABLE T02_Category (ID INTEGER PRIMARY KEY AUTOINCREMENT, CtgrCode INTEGER, "
     "SubCtgrCode NUMERIC, SubCtgrName TEXT)"),
};

}  // namespace valmeric::schema
