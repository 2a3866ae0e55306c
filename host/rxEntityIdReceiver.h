// rxEntityIdReceiver: what a subcase hands the entity ids of a data type to.
// Exactly two virtual operations, in this order: the entity count, then one
// call per id. It owns nothing and is never deleted through this base. A
// pure interface: every module that implements it carries its own table, so
// it is not exported from the library.
#pragma once

class rxEntityIdReceiver {
public:
    virtual void SetNumEntities(int count) = 0;
    virtual void AddEntityID(int id) = 0;

protected:
    ~rxEntityIdReceiver() = default;
};
