#include <windows.h>

#include "engine/utf16_win32.h"
#include "store/key_path_registry.h"
#include "store/settings_file.h"
#include "store/windows_registry.h"

namespace ticktavo {
namespace {

std::wstring Join(const std::wstring& parent, std::string_view subKey) {
  if (subKey.empty()) return parent;
  return parent.empty() ? win32::Widen(subKey) : parent + L'\\' + win32::Widen(subKey);
}

RegResult Result(LSTATUS status) {
  return static_cast<RegResult>(status);
}

REGSAM Sam(RegAccess access) {
  REGSAM sam = 0;
  if ((static_cast<unsigned>(access) & static_cast<unsigned>(RegAccess::kRead)) != 0)
    sam |= KEY_READ;
  if ((static_cast<unsigned>(access) & static_cast<unsigned>(RegAccess::kWrite)) != 0)
    sam |= KEY_WRITE;
  return sam;
}

bool ValidAccess(RegAccess access) {
  const auto bits = static_cast<unsigned>(access);
  return bits != 0 && (bits & ~static_cast<unsigned>(RegAccess::kReadWrite)) == 0;
}

bool Allows(RegAccess granted, RegAccess wanted) {
  return (static_cast<unsigned>(granted) & static_cast<unsigned>(wanted)) != 0;
}

// A key opened for one operation, closed when it goes.
class NativeKey {
 public:
  NativeKey() = default;
  ~NativeKey() {
    if (m_key != nullptr) RegCloseKey(m_key);
  }
  NativeKey(const NativeKey&) = delete;
  NativeKey& operator=(const NativeKey&) = delete;
  HKEY* Out() { return &m_key; }
  HKEY Get() const { return m_key; }

 private:
  HKEY m_key = nullptr;
};

// Reads one value whole; kFileNotFound when missing.
RegResult ReadValue(HKEY key, const std::string& name, RegType* type,
                    std::vector<std::byte>* data) {
  DWORD size = 256;
  for (int attempt = 0; attempt < 8; ++attempt) {
    data->resize(size);
    DWORD storedType = 0;
    DWORD got = size;
    const LSTATUS status = RegQueryValueExA(key, name.c_str(), nullptr, &storedType,
                                            reinterpret_cast<BYTE*>(data->data()), &got);
    if (status == ERROR_SUCCESS) {
      data->resize(got);
      *type = storedType;
      return RegResult::kSuccess;
    }
    if (status != ERROR_MORE_DATA) return Result(status);
    size = got > size ? got : size * 2;  // the value grew meanwhile: try again
  }
  return RegResult::kMoreData;
}

}  // namespace

WindowsRegistry::WindowsRegistry(std::string rootPath) : m_root(win32::Widen(rootPath)) {}

WindowsRegistry::~WindowsRegistry() {
  for (const auto& [key, path] : m_paths) RegCloseKey(reinterpret_cast<HKEY>(key));
}

const WindowsRegistry::Handle* WindowsRegistry::Find(Key key) const {
  static const Handle kRoot{L"", RegAccess::kReadWrite};
  if (key == kCurrentUser) return &kRoot;
  auto it = m_paths.find(key);
  return it == m_paths.end() ? nullptr : &it->second;
}

std::wstring WindowsRegistry::Full(const std::wstring& path) const {
  if (m_root.empty()) return path;
  return path.empty() ? m_root : m_root + L'\\' + path;
}

RegResult WindowsRegistry::Open(Key parent, std::string_view subKey, RegAccess access, bool create,
                                Key* result) {
  if (result == nullptr || !ValidAccess(access)) return RegResult::kInvalidParameter;
  const Handle* handle = Find(parent);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  std::vector<std::string_view> components;
  const RegResult split = SplitKeyPath(subKey, &components);
  if (split != RegResult::kSuccess) return split;

  // Inside a transaction, note which keys on the way are new, so a rollback removes them.
  std::vector<std::wstring> created;
  if (create && m_depth > 0) {
    std::wstring path = handle->path;
    for (std::string_view component : components) {
      path = Join(path, component);
      NativeKey probe;
      if (!created.empty() || RegOpenKeyExW(HKEY_CURRENT_USER, Full(path).c_str(), 0, KEY_READ,
                                            probe.Out()) == ERROR_FILE_NOT_FOUND) {
        created.push_back(path);
      }
    }
  }

  // After a nested rollback the enclosing transaction is doomed: nothing more may land.
  if (m_broken && !created.empty()) return RegResult::kCantWrite;

  std::wstring path = handle->path;
  for (std::string_view component : components) path = Join(path, component);
  HKEY key = nullptr;
  LSTATUS status;
  if (create) {
    status = RegCreateKeyExW(HKEY_CURRENT_USER, Full(path).c_str(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, Sam(access), nullptr, &key, nullptr);
  } else {
    status = RegOpenKeyExW(HKEY_CURRENT_USER, Full(path).c_str(), 0, Sam(access), &key);
  }
  if (status != ERROR_SUCCESS) return Result(status);
  for (std::wstring& path_created : created) {
    Undo undo;
    undo.path = std::move(path_created);
    undo.removeKey = true;
    Remember(std::move(undo));
  }
  *result = reinterpret_cast<Key>(key);
  m_paths[*result] = Handle{std::move(path), access};
  return RegResult::kSuccess;
}

RegResult WindowsRegistry::CreateKey(Key parent, std::string_view subKey, RegAccess access,
                                     Key* result) {
  return Open(parent, subKey, access, true, result);
}

RegResult WindowsRegistry::OpenKey(Key parent, std::string_view subKey, RegAccess access,
                                   Key* result) {
  return Open(parent, subKey, access, false, result);
}

RegResult WindowsRegistry::QueryValue(Key key, std::string_view name, RegType* type,
                                      std::span<std::byte> buffer, std::size_t* size) {
  const Handle* handle = Find(key);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  if (!Allows(handle->access, RegAccess::kRead)) return RegResult::kAccessDenied;
  if (name.find('\0') != std::string_view::npos) return RegResult::kInvalidParameter;
  // The root holds no values of its own.
  if (handle->path.empty()) return RegResult::kFileNotFound;
  // Read into a copy: the caller's buffer stays exactly as it was unless the value fits.
  RegType storedType = kRegNone;
  std::vector<std::byte> data;
  const RegResult read =
      ReadValue(reinterpret_cast<HKEY>(key), std::string(name), &storedType, &data);
  if (read != RegResult::kSuccess) return read;
  return CopyValueOut(data, storedType, buffer, size, type);
}

RegResult WindowsRegistry::SetValue(Key key, std::string_view name, RegType type,
                                    std::span<const std::byte> data) {
  const Handle* handle = Find(key);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  if (!Allows(handle->access, RegAccess::kWrite)) return RegResult::kAccessDenied;
  if (name.find('\0') != std::string_view::npos) return RegResult::kInvalidParameter;
  if (handle->path.empty()) return RegResult::kAccessDenied;
  if (m_broken) return RegResult::kCantWrite;
  const HKEY native = reinterpret_cast<HKEY>(key);
  const std::string valueName(name);
  if (m_depth > 0) {
    Undo undo;
    undo.path = handle->path;
    undo.valueName = valueName;
    // The caller's handle may be write-only: read what is replaced through a handle of our own.
    NativeKey reader;
    const LSTATUS opened =
        RegOpenKeyExW(HKEY_CURRENT_USER, Full(handle->path).c_str(), 0, KEY_READ, reader.Out());
    if (opened != ERROR_SUCCESS) return Result(opened);
    Value before;
    const RegResult read = ReadValue(reader.Get(), valueName, &before.type, &before.data);
    if (read == RegResult::kSuccess) {
      undo.before = std::move(before);
    } else if (read != RegResult::kFileNotFound) {
      return read;  // what it replaced cannot be kept: better not to write
    }
    Remember(std::move(undo));
  }
  // The ANSI call keeps REG_SZ bytes as given (text length + 1) and every other type exact.
  return Result(RegSetValueExA(native, valueName.c_str(), 0, type,
                               reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(data.size())));
}

RegResult WindowsRegistry::EnumKey(Key key, std::uint32_t index, std::string* name) {
  if (name == nullptr) return RegResult::kInvalidParameter;
  const Handle* handle = Find(key);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  if (!Allows(handle->access, RegAccess::kRead)) return RegResult::kAccessDenied;
  NativeKey root;
  HKEY native = reinterpret_cast<HKEY>(key);
  if (key == kCurrentUser) {
    const LSTATUS opened =
        RegOpenKeyExW(HKEY_CURRENT_USER, m_root.c_str(), 0, KEY_READ, root.Out());
    if (opened != ERROR_SUCCESS)
      return opened == ERROR_FILE_NOT_FOUND ? RegResult::kNoMoreItems : Result(opened);
    native = root.Get();
  }
  wchar_t buffer[kMaxKeyNameLength + 1];
  DWORD length = kMaxKeyNameLength + 1;
  const LSTATUS status =
      RegEnumKeyExW(native, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return Result(status);
  *name = win32::Narrow(std::wstring_view(buffer, length));
  return RegResult::kSuccess;
}

RegResult WindowsRegistry::DeleteKey(Key parent, std::string_view subKey) {
  if (subKey.empty()) return RegResult::kInvalidParameter;
  const Handle* handle = Find(parent);
  if (handle == nullptr) return RegResult::kInvalidHandle;
  std::vector<std::string_view> components;
  const RegResult split = SplitKeyPath(subKey, &components);
  if (split != RegResult::kSuccess) return split;
  if (m_broken) return RegResult::kCantWrite;
  std::wstring path = handle->path;
  for (std::string_view component : components) path = Join(path, component);

  Undo undo;
  if (m_depth > 0) {
    // Keep the key's values, so a rollback can bring it back.
    NativeKey key;
    const LSTATUS opened =
        RegOpenKeyExW(HKEY_CURRENT_USER, Full(path).c_str(), 0, KEY_READ, key.Out());
    if (opened != ERROR_SUCCESS) return Result(opened);
    char valueName[16384];
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof valueName;
      const LSTATUS status =
          RegEnumValueA(key.Get(), index, valueName, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS) return Result(status);
      Value value;
      value.name.assign(valueName, length);
      const RegResult read = ReadValue(key.Get(), value.name, &value.type, &value.data);
      if (read != RegResult::kSuccess) return read;
      undo.values.push_back(std::move(value));
    }
  }
  const LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, Full(path).c_str());
  if (status != ERROR_SUCCESS) return Result(status);
  if (m_depth > 0) {
    undo.path = std::move(path);
    undo.recreate = true;
    Remember(std::move(undo));
  }
  return RegResult::kSuccess;
}

RegResult WindowsRegistry::CloseKey(Key key) {
  if (key == kCurrentUser) return RegResult::kSuccess;
  if (m_paths.erase(key) != 1) return RegResult::kInvalidHandle;
  return Result(RegCloseKey(reinterpret_cast<HKEY>(key)));
}

RegResult WindowsRegistry::BeginTransaction() {
  if (m_depth++ == 0) m_undo.clear();
  return RegResult::kSuccess;
}

RegResult WindowsRegistry::CommitTransaction() {
  if (m_depth == 0) return RegResult::kCantWrite;
  const bool broken = m_broken;
  if (--m_depth == 0) {
    m_undo.clear();
    m_broken = false;
  }
  return broken ? RegResult::kCantWrite : RegResult::kSuccess;
}

void WindowsRegistry::RollbackTransaction() {
  if (m_depth == 0) return;
  // Newest first, so a value is put back before the key it lived in is removed.
  for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it) Restore(*it);
  m_undo.clear();
  if (--m_depth > 0) {
    m_broken = true;
  } else {
    m_broken = false;
  }
}

void WindowsRegistry::Remember(Undo undo) {
  m_undo.push_back(std::move(undo));
}

void WindowsRegistry::Restore(const Undo& undo) {
  const std::wstring full = Full(undo.path);
  if (undo.removeKey) {
    RegDeleteKeyW(HKEY_CURRENT_USER, full.c_str());
    return;
  }
  NativeKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, key.Out(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  auto put = [&](const Value& value) {
    RegSetValueExA(key.Get(), value.name.c_str(), 0, value.type,
                   reinterpret_cast<const BYTE*>(value.data.data()),
                   static_cast<DWORD>(value.data.size()));
  };
  if (undo.recreate) {
    for (const Value& value : undo.values) put(value);
  } else if (undo.before) {
    Value value = *undo.before;
    value.name = undo.valueName;
    put(value);
  } else {
    RegDeleteValueA(key.Get(), undo.valueName.c_str());
  }
}

std::unique_ptr<Registry> OpenUserSettings(std::ostream& /*errors*/) {
  // The registry is always there; what cannot be read or written shows in each call's result.
  return std::make_unique<WindowsRegistry>();
}

}  // namespace ticktavo
