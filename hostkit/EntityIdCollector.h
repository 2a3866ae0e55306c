// EntityIdCollector: the id receiver kvres-tool hands to a subcase's
// ReadEntityIDs. It keeps the announced count and every id it is given, in
// order; it checks nothing and never allocates from the announced count.
#pragma once

#include <rxEntityIdReceiver.h>

#include <vector>

class EntityIdCollector final : public rxEntityIdReceiver {
public:
    void SetNumEntities(int count) override { announced = count; }
    void AddEntityID(int id) override { ids.push_back(id); }

    int Announced() const { return announced; }
    const std::vector<int>& IDs() const { return ids; }

private:
    int announced = 0;
    std::vector<int> ids;
};
