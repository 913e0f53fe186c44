#pragma once
// The server implements the supervisor's follower handoff (see supervisor/followerHandoff.h).
#include "supervisor/followerHandoff.h"
