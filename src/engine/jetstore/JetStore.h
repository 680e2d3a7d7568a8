#pragma once
// The Jet-compatible store: SQLite files that take the Jet SQL dialect the
// catalogues send and report their structure in DAO terms. The password is an
// access check kept as a salted hash inside the file, not an encryption.
#include <memory>
#include <string>

#include "DbEngine.h"

namespace dex {

struct JetStoreOptions {
    int busyTimeoutMs = 2000;    // how long a statement waits for another connection's lock
    bool scratchWrites = false;  // for throw-away copies: no fsync, journal in memory
};

std::unique_ptr<DbEngine> makeJetStoreEngine();
std::unique_ptr<DbEngine> makeJetStoreEngine(const JetStoreOptions& options);

// True when two engines may work on two threads at once, each engine with its
// connections staying on one thread: the SQLite library was built with thread
// support.
bool storeEnginesOnThreads();

// A new empty store at path (fails when the file exists); an empty password sets none.
void createStore(const std::string& path, const std::string& password);
// Changes a store's password (oldPassword must open it); an empty newPassword removes it.
void setStorePassword(const std::string& path, const std::string& oldPassword, const std::string& newPassword);

}  // namespace dex
