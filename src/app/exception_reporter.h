#pragma once
// The top of a thread hands what it caught to one reporter, which tells user errors from system
// failures.
namespace vrn {

// Call inside a catch block only: classifies the exception being handled, shows it (red status band,
// one log line) and, for a system failure, requests an exit with SYSTEM ERROR. Throws nothing.
void gf_reportException(const char* functionName);

}  // namespace vrn
