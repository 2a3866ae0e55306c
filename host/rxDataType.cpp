#include "rxDataType.h"

rxDataType::rxDataType(const char* name, Binding binding, int option)
    : name(name != nullptr ? name : ""), binding(binding), option(option) {}

rxDataType::~rxDataType() = default;

void rxDataType::AddAttribute(const char* attributeName, rxDataSet::Format format, int option,
                              bool flag) {
    attributes.push_back({attributeName != nullptr ? attributeName : "", format, option, flag});
}
