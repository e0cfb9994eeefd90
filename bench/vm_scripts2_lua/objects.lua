-- Instance method calls and field reads and writes: particles moved in a box.
local Particle = {}
Particle.__index = Particle
local function newParticle(px, py, dx, dy)
  return setmetatable({ x = px, y = py, vx = dx, vy = dy }, Particle)
end
function Particle:step()
  self.x = self.x + self.vx
  self.y = self.y + self.vy
  if self.x < 0 or self.x > 1000 then self.vx = -self.vx end
  if self.y < 0 or self.y > 1000 then self.vy = -self.vy end
end
function Particle:energy() return self.vx * self.vx + self.vy * self.vy end

local ps = {}
for i = 0, 99 do ps[#ps + 1] = newParticle(i * 10, 1000 - i * 10, i % 7 - 3, i % 5 - 2) end
local e = 0
for t = 0, 2999 do
  for _, p in ipairs(ps) do p:step() end
  local q = ps[t % 100 + 1]
  e = e + q:energy() + q.x
end
print(e)
