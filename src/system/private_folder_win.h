// Folders private to the user on Windows: who may control one, and the security a folder made
// private is created with.
#pragma once

#include <windows.h>

#include <vector>

// The SIDs a private folder allows: the user the run is (SYSTEM itself, for a run as SYSTEM),
// SYSTEM and Administrators, who may do anything anyway. valid is false when any is missing.
struct CTrustedSids {
  CTrustedSids();
  bool Owns(PSID sid);

  alignas(TOKEN_USER) BYTE userBuffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  PSID user = nullptr;
  alignas(SID) BYTE system[SECURITY_MAX_SID_SIZE] = {};
  alignas(SID) BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
  alignas(SID) BYTE creatorOwner[SECURITY_MAX_SID_SIZE] = {};
  bool valid = false;
};

// The security a folder of the setup temp folder chain is made with: owned by the user; the
// three trusted SIDs allowed everything, inherited by all the folder will hold; nothing inherited
// from the parent (a protected DACL), so a parent every local user may write passes nothing on.
class CPrivateFolderSecurity {
 public:
  CPrivateFolderSecurity();
  CPrivateFolderSecurity(const CPrivateFolderSecurity&) = delete;
  CPrivateFolderSecurity& operator=(const CPrivateFolderSecurity&) = delete;
  // For CreateDirectoryW; null when the security could not be made.
  SECURITY_ATTRIBUTES* Attributes() { return m_valid ? &m_attributes : nullptr; }

 private:
  CTrustedSids m_sids;
  std::vector<BYTE> m_acl;
  SECURITY_DESCRIPTOR m_descriptor{};
  SECURITY_ATTRIBUTES m_attributes{};
  bool m_valid = false;
};
