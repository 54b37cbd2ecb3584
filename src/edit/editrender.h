#pragma once
// Saving an edited file: the plan from the edit list and the source's frames, then the copy.
// The command line's `edit` and the window's "Save edited as..." both come here.
#include <string>

#include "edit/editlist.h"
#include "edit/renderplan.h"
#include "edit/renderwriter.h"

// The side information of the source's frames, read from `source` as the plan asks for it.
SideInfoSource SideInfoFromFile(const std::string& source, const FrameTable& table);

// Plans `edits` of `source` (walked into `table`), with the frames of smooth joins encoded.
bool PlanEdit(const std::string& source, const FrameTable& table, const EditList& edits, const RenderOptions& options,
              RenderPlan& plan, std::string* error);

// Plans `edits` of `source` (walked into `table`) and writes the result as `target` (see
// WriteRender). `plan` receives what was written: the kept ranges as rounded and the joins.
bool SaveEdited(const std::string& source, const FrameTable& table, const EditList& edits, const RenderOptions& options,
                const std::string& target, const ClipTags* tags, const ClipHook& finish,
                const RenderProgress& progress, RenderPlan& plan, std::string* error);
