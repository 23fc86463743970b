// Placeholder: filled by its subsystem.
#pragma once
