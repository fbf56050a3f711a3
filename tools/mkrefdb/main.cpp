// valmeric-mkrefdb DATA_DIR OUT_DB
//
// Builds the reference database that ships beside the program from the
// committed data files, so a fresh install needs no visit to the site.
#include <exception>
#include <filesystem>
#include <iostream>

#include "refdb_writer.h"
#include "reference_data.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: valmeric-mkrefdb DATA_DIR OUT_DB\n";
    return 2;
  }
  const std::filesystem::path data_dir(argv[1]);
  try {
    auto cities = valmeric::refdata::LoadCities((data_dir / "cities.tsv").string());
    auto subs = valmeric::refdata::LoadSubCategories((data_dir / "subcategories.tsv").string());
    valmeric::refdata::WriteReferenceDatabase(argv[2], cities, subs);
    std::cout << argv[2] << ": " << cities.size() << " cities, " << subs.size()
              << " sub-categories\n";
  } catch (const std::exception& e) {
    std::cerr << "valmeric-mkrefdb: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
