#pragma once

class TIBQuery;
class TIBTransaction;

// Holds the designer's metadata transaction across one piece of work (a
// view generation, a field load): started when the scope opens, unless it
// is active already, and ended when the scope closes, also when an error
// ends the work (committed on success, rolled back after an error). While
// it is held, the metadata queries stay prepared from one read to the next,
// so each statement is prepared once per piece of work instead of once per
// read. Scopes nest: an inner one joins the transaction of the outer one.
class TMetadataReadScope {
public:
    explicit TMetadataReadScope(TIBTransaction* transaction);
    ~TMetadataReadScope() noexcept(false);   // a failed commit on success is raised
    TMetadataReadScope(const TMetadataReadScope&) = delete;
    TMetadataReadScope& operator=(const TMetadataReadScope&) = delete;

    // After a read: the statement is released, unless a scope holds its
    // transaction, in which case it stays prepared for the next read.
    static void Release(TIBQuery* query);

private:
    TIBTransaction* FTransaction = nullptr;   // set when this scope started it
    int FExceptions = 0;
};
