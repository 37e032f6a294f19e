// A Windows installation laid out in a temporary folder for engine tests:
// drive folder, WINDOWS folder with hives, settings file, snapshot folder.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "layer.h"
#include "../common/profile_file.h"

// The shipped template index: 31 slots, the installation line in slot 1 and
// placeholders with Sign "0" in the carry tier.
Bytes TemplateIndex();
// A recognisable byte pattern of the given size.
Bytes Pattern(size_t size, char seed);

class TestDrive {
 public:
  TestDrive();
  ~TestDrive();
  TestDrive(const TestDrive&) = delete;
  TestDrive& operator=(const TestDrive&) = delete;

  const std::string& drive() const { return m_drive; }
  std::string windows() const { return m_drive + "/WINDOWS"; }

  // Lays out an installed machine: hives, user profile, settings, template index.
  void Install(const std::string& userFolder = "Documents and Settings/user1");

  // Copies every file and folder of another drive into this one.
  void CopyFrom(const TestDrive& other) const;
  // Every file beneath the drive, by relative path.
  std::map<std::string, Bytes> Files() const;

  void Write(const std::string& relative, const Bytes& bytes) const;
  Bytes Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  void Remove(const std::string& relative) const;
  std::vector<std::string> List(const std::string& relativeFolder) const;

  // Points the host layer at this drive with the given date; captures console lines.
  void Boot(int year, int month, int day);

  std::string console;

 private:
  std::string m_drive;
};

std::u16string Wide(const char* text);

// The start options every later boot sees (boot.ini's switches as the kernel
// keeps them), on any drive, until set again; null: none.
void SetStartOptions(const char* options);
