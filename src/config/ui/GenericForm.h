// The configuration form.
#pragma once
