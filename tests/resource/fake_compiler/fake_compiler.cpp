// A stand-in for the script compiler, run by the compiler-link tests as system/RIDed/RIDed. It
// reads what to do from fake_compiler.txt in its current folder (the game folder), one directive a
// line, and writes what it saw into fake_compiler.out there:
//   exit-before-ready      end without setting the ready word
//   hang-before-ready      sleep (up to a minute) instead of setting the ready word
//   hang-after-go          sleep (up to a minute) after the go word instead of ending
//   result N               the result byte (default 1)
//   count N / size N       the file count and block size it announces (default: from the files)
//   folder PATH            the folder it returns at offset 132 (default: the one it was given)
//   file NAME TEXT         a compiled file
//   raw HEX                the second block's bytes, written as they stand instead of the files
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint8_t* MapBlock(const std::string& name, size_t* size) {
  const int fd = shm_open(("/" + name).c_str(), O_RDWR, 0);
  if (fd < 0) return nullptr;
  struct stat st {};
  fstat(fd, &st);
  *size = static_cast<size_t>(st.st_size);
  void* data = mmap(nullptr, *size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  return data == MAP_FAILED ? nullptr : static_cast<uint8_t*>(data);
}

volatile uint32_t* Word(uint8_t* block, size_t at) {
  return reinterpret_cast<volatile uint32_t*>(block + at);
}

}  // namespace

int main(int argc, char** argv) {
  std::ofstream report("fake_compiler.out");
  report << "argument " << (argc > 1 ? argv[1] : "") << "\n";
  const char* env = std::getenv("KORVEL_COMPILER_BLOCK");
  const std::string name = env != nullptr && *env != 0 ? env : "KORVELCompilerFileMapObject";
  size_t first_size = 0;
  uint8_t* first = MapBlock(name, &first_size);
  if (first == nullptr || first_size < 512) {
    report << "no first block\n";
    return 3;
  }
  report << "format " << *Word(first, 128) << "\n";
  report << "folder " << reinterpret_cast<const char*>(first + 132) << "\n";

  bool exit_early = false, hang_before = false, hang_after = false;
  int result = 1;
  long count = -1, size = -1;
  std::string folder;
  bool has_folder = false, has_raw = false;
  std::vector<uint8_t> records;
  long files = 0;
  std::ifstream control("fake_compiler.txt");
  std::string line;
  while (std::getline(control, line)) {
    std::istringstream in(line);
    std::string what;
    in >> what;
    if (what == "exit-before-ready") exit_early = true;
    if (what == "hang-before-ready") hang_before = true;
    if (what == "hang-after-go") hang_after = true;
    if (what == "result") in >> result;
    if (what == "count") in >> count;
    if (what == "size") in >> size;
    if (what == "folder") {
      std::getline(in >> std::ws, folder);
      has_folder = true;
    }
    if (what == "file") {
      std::string file, text;
      in >> file;
      std::getline(in >> std::ws, text);
      PutU32(&records, static_cast<uint32_t>(file.size()));
      records.insert(records.end(), file.begin(), file.end());
      PutU32(&records, static_cast<uint32_t>(text.size()));
      records.insert(records.end(), text.begin(), text.end());
      ++files;
    }
    if (what == "raw") {
      std::string hex;
      in >> hex;
      has_raw = true;
      records.clear();
      for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        records.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
      }
    }
  }
  if (exit_early) return 0;
  if (hang_before) {
    report << "hanging" << std::endl;
    sleep(60);
    return 6;
  }
  if (count < 0) count = has_raw ? 1 : files;
  if (size < 0) size = static_cast<long>(records.size());

  first[12] = static_cast<uint8_t>(result);
  *Word(first, 16) = static_cast<uint32_t>(count);
  *Word(first, 20) = static_cast<uint32_t>(size);
  if (has_folder) {
    std::memset(first + 132, 0, 512 - 132);
    std::memcpy(first + 132, folder.data(), std::min<size_t>(folder.size(), 512 - 132));
  }
  __atomic_store_n(reinterpret_cast<uint32_t*>(first + 0), 1u, __ATOMIC_RELEASE);
  for (int i = 0; *Word(first, 4) != 1; ++i) {
    // The engine gave up (it removed the block's name) or never answers.
    const int fd = shm_open(("/" + name).c_str(), O_RDONLY, 0);
    if (fd >= 0) close(fd);
    if (fd < 0 || i > 3000) {
      report << "no go" << std::endl;
      return 4;
    }
    usleep(10000);
  }
  size_t second_size = 0;
  uint8_t* second = MapBlock(name + "2", &second_size);
  if (second == nullptr) {
    report << "no second block\n";
    return 5;
  }
  report << "second " << second_size << std::endl;
  if (!records.empty()) std::memcpy(second, records.data(), std::min(records.size(), second_size));
  if (hang_after) {
    report << "hanging" << std::endl;
    sleep(60);
    return 6;
  }
  return 0;
}
