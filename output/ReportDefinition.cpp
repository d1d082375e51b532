#include "output/ReportDefinition.h"

#include "platform/AppError.h"

#include <algorithm>

namespace output {

namespace {

template <class Item>
Item& byName(std::vector<Item>& items, const QString& name)
{
    const auto it = std::find_if(items.begin(), items.end(), [&](const Item& item) {
        return item.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (it == items.end())
        throw platform::AppError(QStringLiteral("Item not found in this collection"));
    return *it;
}

} // namespace

ReportControl& ReportSection::Controls(const QString& name)
{
    return byName(controls, name);
}

const ReportControl& ReportSection::Controls(const QString& name) const
{
    return const_cast<ReportSection*>(this)->Controls(name);
}

std::vector<const ReportSection*> ReportDefinition::sections() const
{
    return {&reportHeader, &pageHeader, &detail, &pageFooter, &reportFooter};
}

ReportSection& ReportDefinition::Sections(const QString& name)
{
    std::vector<ReportSection*> all{&reportHeader, &pageHeader, &detail, &pageFooter, &reportFooter};
    for (ReportSection* section : all) {
        if (section->name.compare(name, Qt::CaseInsensitive) == 0)
            return *section;
    }
    throw platform::AppError(QStringLiteral("Item not found in this collection"));
}

const ReportSection& ReportDefinition::Sections(const QString& name) const
{
    return const_cast<ReportDefinition*>(this)->Sections(name);
}

std::vector<QString> ReportDefinition::boundFields() const
{
    std::vector<QString> fields;
    for (const ReportSection* section : sections()) {
        for (const ReportControl& control : section->controls) {
            if (control.DataField.isEmpty())
                continue;
            const bool known = std::any_of(fields.begin(), fields.end(), [&](const QString& field) {
                return field.compare(control.DataField, Qt::CaseInsensitive) == 0;
            });
            if (!known)
                fields.push_back(control.DataField);
        }
    }
    return fields;
}

} // namespace output
