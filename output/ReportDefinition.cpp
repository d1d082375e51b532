#include "output/ReportDefinition.h"

#include "platform/AppError.h"

#include <algorithm>

namespace output {

namespace {
platform::AppError notFound()
{
    return platform::AppError(QStringLiteral("Item not found in this collection"));
}
} // namespace

ReportControl& ReportSection::Controls(const QString& name)
{
    for (ReportControl& control : controls) {
        if (control.name.compare(name, Qt::CaseInsensitive) == 0)
            return control;
    }
    throw notFound();
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
    for (ReportSection* section : {&reportHeader, &pageHeader, &detail, &pageFooter, &reportFooter}) {
        if (section->name.compare(name, Qt::CaseInsensitive) == 0)
            return *section;
    }
    throw notFound();
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
