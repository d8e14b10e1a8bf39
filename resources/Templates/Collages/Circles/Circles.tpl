<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="3600" ImageSizeY="3600" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="3600" ImageSizeY="3600" BackDPI="300" BackUnitType="0" Landscape="1" Type="1" Image="mint_fresh.jpg" ImageType="1">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1150.0" BoundingBoxTop="1150.0" BoundingBoxRight="2450.0" BoundingBoxBottom="2450.0" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="1" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" MaskName="circle_001.jpg"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="2224.4" BoundingBoxTop="2224.4" BoundingBoxRight="3044.4" BoundingBoxBottom="3044.4" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="1" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" MaskName="circle_001.jpg"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="555.6" BoundingBoxTop="2224.4" BoundingBoxRight="1375.6" BoundingBoxBottom="3044.4" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="1" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" MaskName="circle_001.jpg"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="555.6" BoundingBoxTop="555.6" BoundingBoxRight="1375.6" BoundingBoxBottom="1375.6" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="1" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" MaskName="circle_001.jpg"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="2224.4" BoundingBoxTop="555.6" BoundingBoxRight="3044.4" BoundingBoxBottom="1375.6" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="1" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" MaskName="circle_001.jpg"/>
  </scenegraph>
</root>
